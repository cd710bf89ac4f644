// krx-jump FILE KIND CLASS MEMBER [PARAMS] [--time]
//
// Finds a declared code element in a Pascal file as the IDE does for Kestrune's jump request:
// FILE is read as the editor holds it (byte-order mark detection), KIND is a jump-kind name
// ("class", "procedure", "property", "moduleproc" ...). Prints "true LINE BODYLINE" (0-based)
// or "false" for an unusable request; --time adds the milliseconds Locate took, parse
// included, on a second line.
//
// Exit status: 0 for either answer, 1 when FILE cannot be read, 2 on a usage error (an
// argument that is not valid UTF-8 among them).
#include "../common/Arguments.h"
#include "../common/SourceFile.h"

#include "KR4expt/JumpLocationParsers.h"
#include "Units.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <vector>

using namespace krx;

namespace {

constexpr const char *kUsage = "usage: krx-jump FILE KIND CLASS MEMBER [PARAMS] [--time]\n";

int Main(int argc, char **argv) {
  bool timed = false;
  std::vector<String> args;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--time") == 0)
      timed = true;
    else if (!tool::TakeArgument("krx-jump", argv[i], args.emplace_back()))
      return 2;
  }
  if (args.size() < 4 || args.size() > 5) {
    std::cerr << kUsage;
    return 2;
  }
  String text;
  std::string error;
  if (!tool::ReadSourceFile(args[0], text, error)) {
    tool::SayCannotRead("krx-jump", args[0], error);
    return 1;
  }
  TJumpLocationParser finder(text, args[1], args[2], args[3], args.size() > 4 ? args[4] : String(),
                             lanPascal, args[0]);
  Integer line = 0, bodyLine = 0;
  const auto start = std::chrono::steady_clock::now();
  const bool found = finder.Locate(line, bodyLine);
  const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
  if (found)
    std::printf("true %d %d\n", line, bodyLine);
  else
    std::printf("false\n");
  if (timed)
    std::printf("%.3f ms\n", took.count());
  return 0;
}

} // namespace

int main(int argc, char **argv) {
  int rc = 2;
  try {
    InitializeUnits(AllUnits());
    rc = Main(argc, argv);
  } catch (const std::exception &e) {
    std::cerr << "krx-jump: " << e.what() << "\n";
  }
  FinalizeUnits();
  return rc;
}
