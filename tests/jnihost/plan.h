// Sessions of calls held as data: a plan file the conformance scenario, the fuzz seeds and the
// bench's instruction counter read (the bench's JVM side runs the same lines from Java).
// A plan is lines; "#" starts a comment line. Each line is one of
//   == TITLE              a section: a titled step of the scenario, a fuzz family's seed
//   > LINE                a control line for the simulated executor
//   METHOD[/V] ARG...     a call of the entry point METHOD (V: the fuzz variant byte)
// and, in the scenario only (plan.cpp):
//   let NAME = VALUE      names an object for later lines ($NAME)
//   shape NAME ASSIGN...  field assignments an object takes with :NAME
//   follow off            stops writing requests and tool lines
// An argument is a number, 'text', null, true or false; in the scenario also an object:
//   CLASS[@SEED]{ASSIGN...}  a new object, every field filled from SEED first, then assigned
//   $NAME[.FIELD][{...}]     a named object, or the value of one of its fields
//   [V,...] b[V,...]      a new int[] or byte[] of these values; int[N] byte[N] String[N] empty
// where ASSIGN is FIELD=VALUE, FIELD[I]=VALUE (an element of an int[] field), listeners+=OBJ
// (a server's listener) or :SHAPE.
#pragma once

#include <string>
#include <vector>

namespace jnihost {

struct PlanLine {
  int number;
  std::string text;
};

// The plan's lines at `path`, comments and blank lines left out; exits with status 2 when the
// file can't be read.
std::vector<PlanLine> readPlan(const std::string& path);

// A call's words, a quoted text or a {...} or [...] group kept whole.
std::vector<std::string> planWords(const std::string& text);

// Reports a line that can't be run and exits with status 2.
[[noreturn]] void planError(const PlanLine& line, const std::string& what);

}  // namespace jnihost
