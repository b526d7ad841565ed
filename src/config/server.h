// Server records: what the rule bindings and the rule server list share with the server methods.
#pragma once

#include <jni.h>

#include <cstdint>

#include "config/list_text.h"

namespace cmn::config {

// Builds the rest of a server record request from a server object (the command is already in
// the header), sends it and maps the outcome. The rule bindings send the same record with
// their own fields added around it.
jint submitServerRecord(JNIEnv* env, jobject server);

// Command 15 for the port with this cluster key and number: the send result, unchanged; on 0
// the port report stands in the block (number of servers at 36, of rules at 40).
int queryPortReport(std::uint32_t clusterKey, std::uint16_t port);

inline constexpr std::uint32_t kPortReportServerCount = 36;

// Server list (command 31): count at 44, entries of 88 bytes from 48, each with the server's
// key in its first 4 bytes and its identifier text from byte 8; 726 fit. The answer's count
// lies at 36.
inline constexpr ListLayout kServerList{31, 44, 48, 88};
inline constexpr std::uint32_t kServerListAnswerCount = 36;

// Renders the server list answer standing in the block as "+id" lines and stores each listed
// server's key in `keys` (an int[]; never past its end, nothing when null). Returns the number
// of lines.
std::uint32_t renderServerList(JNIEnv* env, const RequestBlock& b, ListText& list, jintArray keys);

}  // namespace cmn::config
