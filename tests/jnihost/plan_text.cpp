#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "plan.h"

namespace jnihost {

std::vector<PlanLine> readPlan(const std::string& path) {
  std::ifstream in(path);
  if (!in) {
    std::fprintf(stderr, "can't read the plan %s\n", path.c_str());
    std::exit(2);
  }
  std::vector<PlanLine> lines;
  int number = 0;
  for (std::string text; std::getline(in, text);) {
    ++number;
    while (!text.empty() && (text.back() == '\r' || text.back() == ' ')) text.pop_back();
    const std::size_t start = text.find_first_not_of(' ');
    if (start == std::string::npos || text[start] == '#') continue;
    lines.push_back(PlanLine{number, text.substr(start)});
  }
  return lines;
}

std::vector<std::string> planWords(const std::string& text) {
  std::vector<std::string> words;
  int depth = 0;
  bool quoted = false;
  std::string word;
  for (const char c : text) {
    if (c == ' ' && depth == 0 && !quoted) {
      if (!word.empty()) words.push_back(word);
      word.clear();
      continue;
    }
    if (c == '\'') quoted = !quoted;
    if (!quoted && (c == '{' || c == '[')) ++depth;
    if (!quoted && (c == '}' || c == ']')) --depth;
    word += c;
  }
  if (!word.empty()) words.push_back(word);
  return words;
}

void planError(const PlanLine& line, const std::string& what) {
  std::fprintf(stderr, "plan line %d: %s: %s\n", line.number, what.c_str(), line.text.c_str());
  std::exit(2);
}

}  // namespace jnihost
