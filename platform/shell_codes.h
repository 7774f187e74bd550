#pragma once

#include <cstdint>

// The results of the shell open: above 32 is success, the rest are Windows' error codes.
namespace platform::shellcode {

constexpr std::intptr_t kStarted = 42;
constexpr int kLastError = 32; // the highest error code: a result above it is a success
constexpr int kOutOfResources = 0;
constexpr int kFileNotFound = 2;
constexpr int kPathNotFound = 3;
constexpr int kAccessDenied = 5;
constexpr int kSeparateDataSegments = 6;
constexpr int kOutOfMemory = 8;
constexpr int kWrongWindowsVersion = 10;
constexpr int kBadFormat = 11;
constexpr int kOtherSystem = 12;
constexpr int kDos4Program = 13;
constexpr int kUnknownProgramType = 14;
constexpr int kRealModeProgram = 15;
constexpr int kSecondInstance = 16;
constexpr int kCompressedProgram = 19;
constexpr int kBadLibrary = 20;
constexpr int kSharingViolation = 26;
constexpr int kNoAssociation = 31;

} // namespace platform::shellcode
