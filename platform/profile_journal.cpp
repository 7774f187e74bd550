#include "platform/profile_journal.h"

#include <cstring>

namespace platform {
namespace {

constexpr std::string_view kHeaderMagic{"\0ventiro-journal\0", 17};
constexpr std::string_view kFooterMagic{"\0ventiro-written\0", 17};
constexpr std::size_t kHeaderSize = kHeaderMagic.size() + 8;
constexpr std::size_t kFooterSize = kFooterMagic.size() + std::size_t{32}; // four numbers of 8 bytes

void putNumber(std::string& out, std::uint64_t value)
{
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

std::uint64_t numberAt(std::string_view bytes, std::size_t at)
{
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

} // namespace

std::uint64_t Fnv64(std::string_view bytes, std::uint64_t hash)
{
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

bool MeasureContent(const ContentPieces& content, std::uint64_t& size, std::uint64_t& hash)
{
    size = 0;
    hash = kFnv64Start;
    return content([&](std::string_view piece) {
        size += piece.size();
        hash = Fnv64(piece, hash);
        return size <= static_cast<std::uint64_t>(kMaxProfileFileSize);
    });
}

std::string JournalHeader(std::uint64_t oldSize)
{
    std::string header(kHeaderMagic);
    putNumber(header, oldSize);
    return header;
}

std::string JournalFooter(std::uint64_t oldSize, std::uint64_t at, std::uint64_t size, std::uint64_t hash)
{
    std::string footer(kFooterMagic);
    putNumber(footer, oldSize);
    putNumber(footer, at);
    putNumber(footer, size);
    putNumber(footer, hash);
    return footer;
}

std::string JournalRecord(std::string_view content, std::uint64_t oldSize, std::uint64_t at)
{
    return JournalHeader(oldSize) + std::string(content) +
           JournalFooter(oldSize, at, content.size(), Fnv64(content));
}

JournalState DecodeJournal(std::string_view bytes)
{
    JournalState state;
    state.content = bytes;
    // Step 2 cut short: a whole record ends the file.
    if (bytes.size() >= kHeaderSize + kFooterSize) {
        const std::size_t footer = bytes.size() - kFooterSize;
        if (bytes.substr(footer, kFooterMagic.size()) == kFooterMagic) {
            const std::uint64_t at = numberAt(bytes, footer + kFooterMagic.size() + 8);
            const std::uint64_t size = numberAt(bytes, footer + kFooterMagic.size() + 16);
            const std::uint64_t hash = numberAt(bytes, footer + kFooterMagic.size() + 24);
            if (at + kHeaderSize + size == footer && bytes.substr(at, kHeaderMagic.size()) == kHeaderMagic) {
                const std::string_view content = bytes.substr(at + kHeaderSize, size);
                if (Fnv64(content) == hash) {
                    state.kind = JournalState::Written;
                    state.content = content;
                    return state;
                }
            }
        }
    }
    // Step 1 cut short: a header, and the old content before it.
    const std::size_t header = bytes.find(kHeaderMagic);
    if (header != std::string_view::npos && header + kHeaderSize <= bytes.size()) {
        const std::uint64_t oldSize = numberAt(bytes, header + kHeaderMagic.size());
        if (oldSize <= header) {
            state.kind = JournalState::Started;
            state.content = bytes.substr(0, oldSize);
        }
    }
    return state;
}

} // namespace platform
