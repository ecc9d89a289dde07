#pragma once
// The command line of a benchmark program, shared by every program here.
// Options are words that begin with "--", some followed by a value; words
// without "--" are positional where the program takes any. `--help` (or
// `-h`) prints the usage on standard output and ends the program with 0; an
// unknown option, a missing value, a value the option refuses or a word the
// program takes no place for prints what was wrong and the usage on
// standard error and ends it with 2. Nothing runs before the line is read.
//
//   const BenchOption options[] = {
//       {"--runs", true, [&](const char* v) { return ParseCount(v, runs); }},
//   };
//   if (const int exit = ReadBenchArguments(argc, argv, kUsage, options); exit >= 0) return exit;

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <span>
#include <string>
#include <system_error>
#include <vector>

struct BenchOption {
  const char* name;  // "--runs"
  bool takesValue;
  // Takes the option (with its value, else nullptr); false refuses the value.
  std::function<bool(const char* value)> take;
};

// A whole number from `low` to `high`, with nothing after it.
inline bool ParseNumber(const char* text, long long low, long long high, long long& out) {
  const char* end = text + std::strlen(text);
  long long value = 0;
  const auto [at, error] = std::from_chars(text, end, value);
  if (error != std::errc{} || at != end || value < low || value > high) return false;
  out = value;
  return true;
}

template <class Integer>
bool ParseCount(const char* text, Integer& out, long long low = 1, long long high = 1000000000) {
  long long value = 0;
  if (!ParseNumber(text, low, high, value)) return false;
  out = static_cast<Integer>(value);
  return true;
}

inline bool ParseSeconds(const char* text, double& out) {
  char* end = nullptr;
  const double value = std::strtod(text, &end);
  if (end == text || *end != '\0' || !(value > 0)) return false;
  out = value;
  return true;
}

// Reads argv. Returns -1 when the program should run, else the exit code it
// should end with at once. `positional` takes each word without "--" (and
// refuses it by returning false); without it such words are refused.
inline int ReadBenchArguments(int argc, char** argv, const char* usage, std::span<const BenchOption> options,
                              const std::function<bool(const char*)>& positional = {}) {
  const char* program = argc > 0 ? argv[0] : "bench";
  auto refuse = [&](const std::string& why) {
    std::fprintf(stderr, "%s: %s\n%s", program, why.c_str(), usage);
    return 2;
  };
  for (int i = 1; i < argc; ++i) {
    const char* word = argv[i];
    if (!std::strcmp(word, "--help") || !std::strcmp(word, "-h")) {
      std::fputs(usage, stdout);
      return 0;
    }
    if (std::strncmp(word, "-", 1) != 0) {
      if (!positional || !positional(word)) return refuse(std::string("unexpected argument '") + word + "'");
      continue;
    }
    const BenchOption* option = nullptr;
    for (const auto& candidate : options)
      if (!std::strcmp(word, candidate.name)) option = &candidate;
    if (!option) return refuse(std::string("unknown option '") + word + "'");
    const char* value = nullptr;
    if (option->takesValue) {
      if (i + 1 >= argc) return refuse(std::string("option '") + word + "' needs a value");
      value = argv[++i];
    }
    if (!option->take(value))
      return refuse(std::string("option '") + word + "' does not take '" + (value ? value : "") + "'");
  }
  return -1;
}
