#include "Platform/Win/Kernel.h"
#include "support/KrxTest.h"

#include <atomic>
#include <cmath>
#include <thread>
#include <unistd.h>

namespace krx {
namespace {

using test::TempDir;
using test::WriteFileBytes;

String ExePath() { return Utf8ToString(std::filesystem::read_symlink("/proc/self/exe").string()); }

TEST(Modules, FileNamesOfTheProgramAndOfLibraries) {
  Char buffer[MAX_PATH];
  DWORD n = GetModuleFileNameW(0, buffer, MAX_PATH);
  EXPECT_EQ(String(buffer, n), ExePath());
  // The system's code is linked into this test program.
  ASSERT_NE(HInstance(), 0u);
  EXPECT_EQ(GetModuleFileName(HInstance()), ExePath());
  // A handle of a shared library names that library.
  HMODULE libm = ModuleOfAddress(reinterpret_cast<const void *>(&::getpid));
  ASSERT_NE(libm, 0u);
  EXPECT_NE(libm, HInstance());
  EXPECT_NE(GetModuleFileName(libm).find(u"libc"), String::npos);
  // The platform is a shared library of its own, and HInstance() still names this program.
  HMODULE platform = ModuleOfAddress(reinterpret_cast<const void *>(&GetModuleFileNameW));
  EXPECT_NE(platform, HInstance());
  EXPECT_NE(GetModuleFileName(platform).find(u"libkrx_platform"), String::npos);
}

TEST(Modules, SmallBuffersAndUnknownHandles) {
  const String exe = ExePath();
  Char small[8];
  SetLastError(0);
  EXPECT_EQ(GetModuleFileNameW(HInstance(), small, 8), 8u);
  EXPECT_EQ(static_cast<DWORD>(GetLastError()), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(String(small), exe.substr(0, 7));

  EXPECT_EQ(GetModuleFileNameW(HInstance() + 1, small, 8), 0u);
  EXPECT_EQ(static_cast<DWORD>(GetLastError()), ERROR_MOD_NOT_FOUND);
  EXPECT_EQ(GetModuleFileName(12345), u"");
  EXPECT_EQ(ModuleOfAddress(nullptr), 0u);
}

TEST(CriticalSections, ReEntrantAndExclusive) {
  TRTLCriticalSection section{};
  InitializeCriticalSection(section);
  EnterCriticalSection(section);
  EnterCriticalSection(section); // nests on one thread
  std::atomic<int> tries{-1};
  std::thread([&] { tries = TryEnterCriticalSection(section) ? 1 : 0; }).join();
  EXPECT_EQ(tries, 0);
  LeaveCriticalSection(section);
  std::thread([&] { tries = TryEnterCriticalSection(section) ? 1 : 0; }).join();
  EXPECT_EQ(tries, 0); // still held once
  LeaveCriticalSection(section);
  EXPECT_THROW(LeaveCriticalSection(section), EAssertionFailed); // not held any more

  // Threads counting under the lock lose no increment.
  long counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) {
        EnterCriticalSection(section);
        counter = counter + 1;
        LeaveCriticalSection(section);
      }
    });
  for (auto &t : threads)
    t.join();
  EXPECT_EQ(counter, 80000);
  DeleteCriticalSection(section);
  EXPECT_THROW(EnterCriticalSection(section), EAssertionFailed);
}

TEST(CriticalSections, ObjectFormRefusesALeaveFromAnotherThread) {
  TCriticalSection cs;
  cs.Acquire();
  bool refused = false;
  std::thread([&] {
    try {
      cs.Leave();
    } catch (const EAssertionFailed &) {
      refused = true;
    }
  }).join();
  EXPECT_TRUE(refused);
  cs.Release();
  EXPECT_TRUE(cs.TryEnter());
  cs.Leave();
}

TEST(ErrorMode, RemembersTheModeAndReturnsThePrevious) {
  UINT old = SetErrorMode(SEM_FAILCRITICALERRORS);
  EXPECT_EQ(SetErrorMode(old | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX),
            SEM_FAILCRITICALERRORS);
  EXPECT_EQ(GetErrorMode(), old | 0x8001u);
  SetErrorMode(old);
}

TEST(FileAttributes, DirectoriesFilesAndMissingNames) {
  TempDir dir;
  WriteFileBytes(dir / "file.txt", "x");
  EXPECT_EQ(GetFileAttributesW(dir.Str()), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(GetFileAttributesW(dir.Str("file.txt")) & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_NE(GetFileAttributesW(dir.Str("file.txt")), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesW(dir.Str("missing")), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(static_cast<DWORD>(GetLastError()), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetFileAttributesW(dir.Str("missing/deeper")), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(static_cast<DWORD>(GetLastError()), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(GetFileAttributesW(dir.Str("file.txt/deeper")), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(static_cast<DWORD>(GetLastError()), ERROR_PATH_NOT_FOUND);
}

} // namespace
} // namespace krx
