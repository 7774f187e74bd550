#pragma once

// How a save writes through a file without ever leaving it torn, in the file itself, so that every
// name of the file (a hard link in another folder too) finds what it needs to repair it:
//
//   1. Behind the old content, at offset max(old size, new size), it writes a header (a magic that no
//      text file holds, and the old size), the new content, and then a footer (another magic, both
//      sizes, the offset and a hash of the new content).
//   2. It writes the new content at the start of the file and cuts the file at its end.
//
// A reader that finds a valid footer at the end takes the new content from behind it (step 2 was
// cut short); one that finds only a header takes the bytes before the old size (step 1 was cut
// short). Either is repaired by doing the rest.

#include "platform/profile_file.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// The hash of `bytes`; `hash` carries on one of the bytes before them, so a file can be hashed
// piece by piece.
constexpr std::uint64_t kFnv64Start = 14695981039346656037ull;
std::uint64_t Fnv64(std::string_view bytes, std::uint64_t hash = kFnv64Start);

// The size and hash of a new content, gone through once; false when it is above the size bound.
bool MeasureContent(const ContentPieces& content, std::uint64_t& size, std::uint64_t& hash);

// The bytes step 1 writes at `at` behind an old content of `oldSize` bytes: the header, the content,
// and the footer (for a content of `size` bytes that hashes to `hash`).
std::string JournalRecord(std::string_view content, std::uint64_t oldSize, std::uint64_t at);
std::string JournalHeader(std::uint64_t oldSize);
std::string JournalFooter(std::uint64_t oldSize, std::uint64_t at, std::uint64_t size, std::uint64_t hash);

struct JournalState
{
    enum Kind
    {
        None,    // a plain file
        Started, // step 1 was cut short: the file means its old content
        Written  // step 2 was cut short: the file means the new content
    } kind = None;
    std::string_view content; // what the file means
};

// What the bytes of a file mean.
JournalState DecodeJournal(std::string_view bytes);

} // namespace platform
