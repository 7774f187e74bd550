#pragma once

#include <cstdint>

// The results of the shell open: above 32 is success, the rest are Windows' error codes.
namespace platform::shellcode {

constexpr std::intptr_t kStarted = 42;
constexpr int kFileNotFound = 2;
constexpr int kPathNotFound = 3;
constexpr int kAccessDenied = 5;
constexpr int kOutOfMemory = 8;
constexpr int kBadFormat = 11;
constexpr int kSharingViolation = 26;
constexpr int kNoAssociation = 31;

} // namespace platform::shellcode
