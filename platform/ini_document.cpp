#include "platform/ini_document.h"

#include "platform/blanks.h"

#include <cstdint>
#include <cstring>
#include <unordered_map>
#include <utility>
#include <vector>

namespace platform {
namespace {

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

// Section and key names hash and compare without regard to ASCII case; a map keyed by them finds a
// name under any of its spellings, and is searched with a view without making a string of it.
struct NameHash
{
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const noexcept
    {
        std::uint64_t hash = 14695981039346656037ull; // FNV-1a
        for (const char c : name) {
            hash ^= static_cast<unsigned char>(lower(c));
            hash *= 1099511628211ull;
        }
        return static_cast<std::size_t>(hash);
    }
};

struct SameName
{
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept { return sameName(a, b); }
};

template <typename T>
using ByName = std::unordered_map<std::string, T, NameHash, SameName>;

enum class Kind : std::uint8_t
{
    Other,
    Key,
    Dead
};

// One line of the file without its line end: where its text is, in the file's bytes or in the text
// of the writes.
struct Line
{
    std::size_t at = 0;
    std::uint32_t size = 0;
    bool written = false;
    Kind kind = Kind::Other;
};

// A section's lookups before its keys get a map: most sections are read a few times, and a long
// table is read line by line in order (IniDocument::forEachKey()), so most never need one.
constexpr std::uint32_t kLookupsBeforeIndex = 8;

// A header line and the lines up to the next header. The first block of a file has no header.
struct Block
{
    bool hasHeader = false;
    Line header;
    std::vector<Line> lines;
    std::uint32_t insertAt = 0; // after the last key line
    bool fresh = false;         // made by a write: holds only lines written since
    // The first line of each key, once the section was looked up often enough.
    mutable std::optional<ByName<std::uint32_t>> keys;
    mutable std::uint32_t lookups = 0;
};

constexpr std::uint32_t kNone = 0xFFFFFFFFu;

} // namespace

struct IniDocument::Impl
{
    explicit Impl(std::string bytes) : content(std::move(bytes)) { parse(); }

    std::string content; // the file's bytes
    std::string written; // the text of the writes, one after the other
    std::vector<Block> blocks;
    ByName<std::vector<std::uint32_t>> sections; // the blocks of each name in file order, removed ones too
    bool changed = false;
    std::size_t deadContent = 0; // bytes of the file's lines that were removed

    // The last section looked up, so that a run of writes in one section finds it at once.
    mutable std::string lastName;
    mutable std::uint32_t lastBlock = kNone;

    std::string_view text(const Line& line) const
    {
        return std::string_view(line.written ? written : content).substr(line.at, line.size);
    }
    std::string_view keyOf(const Line& line) const
    {
        const std::string_view all = text(line);
        return trimmedView(all.substr(0, all.find('=')));
    }
    Line store(std::string_view a, std::string_view b = {}, std::string_view c = {})
    {
        const Line line{written.size(), static_cast<std::uint32_t>(a.size() + b.size() + c.size()), true,
                        Kind::Other};
        written.append(a).append(b).append(c);
        return line;
    }

    void parse();
    std::uint32_t findBlock(std::string_view name) const;
    std::uint32_t addBlock(std::string_view name);
    std::uint32_t findKey(const Block& block, std::string_view key) const;
    void insertKeyLine(Block& block, std::string_view key, const Line& line);
    void releaseContent();
};

void IniDocument::Impl::parse()
{
    blocks.emplace_back();
    const char* const data = content.data();
    const std::size_t size = content.size();
    // The next CR and the next LF, each found once: a line ends at whichever comes first.
    const auto next = [&](char c, std::size_t from) {
        const void* at = from < size ? std::memchr(data + from, c, size - from) : nullptr;
        return at ? static_cast<std::size_t>(static_cast<const char*>(at) - data) : size;
    };
    std::size_t nextCr = next('\r', 0);
    std::size_t nextLf = next('\n', 0);
    std::size_t pos = 0;
    while (pos < size) {
        if (nextCr < pos)
            nextCr = next('\r', pos);
        if (nextLf < pos)
            nextLf = next('\n', pos);
        std::size_t end = nextCr < nextLf ? nextCr : nextLf;
        const std::string_view text(data + pos, end - pos);
        const Line line{pos, static_cast<std::uint32_t>(text.size()), false, Kind::Other};
        if (end < size)
            end += (data[end] == '\r' && end + 1 < size && data[end + 1] == '\n') ? 2 : 1;
        pos = end;

        std::size_t first = 0;
        while (first < text.size() && isBlank(text[first]))
            ++first;
        if (first < text.size() && text[first] == '[') {
            const std::size_t close = text.find(']', first + 1);
            const std::size_t nameEnd = close == std::string_view::npos ? text.size() : close;
            const std::string_view name = trimmedView(text.substr(first + 1, nameEnd - first - 1));
            sections[std::string(name)].push_back(static_cast<std::uint32_t>(blocks.size()));
            Block& block = blocks.emplace_back();
            block.hasHeader = true;
            block.header = line;
            continue;
        }
        Block& block = blocks.back();
        block.lines.push_back(line);
        const bool comment = first < text.size() && text[first] == ';';
        if (!comment && std::memchr(text.data(), '=', text.size())) {
            block.lines.back().kind = Kind::Key;
            block.insertAt = static_cast<std::uint32_t>(block.lines.size());
        }
    }
}

std::uint32_t IniDocument::Impl::findBlock(std::string_view name) const
{
    if (lastBlock != kNone && name == lastName)
        return lastBlock;
    const auto it = sections.find(name);
    if (it == sections.end())
        return kNone;
    for (const std::uint32_t index : it->second)
        if (blocks[index].hasHeader) {
            lastName.assign(name);
            lastBlock = index;
            return index;
        }
    return kNone;
}

std::uint32_t IniDocument::Impl::addBlock(std::string_view name)
{
    Block block;
    block.hasHeader = true;
    block.header = store("[", name, "]");
    block.fresh = true;
    const auto index = static_cast<std::uint32_t>(blocks.size());
    sections[std::string(name)].push_back(index);
    blocks.push_back(std::move(block));
    lastBlock = kNone;
    return index;
}

std::uint32_t IniDocument::Impl::findKey(const Block& block, std::string_view key) const
{
    if (!block.keys && ++block.lookups > kLookupsBeforeIndex) {
        ByName<std::uint32_t>& keys = block.keys.emplace();
        for (std::size_t i = 0; i < block.lines.size(); ++i)
            if (block.lines[i].kind == Kind::Key)
                keys.try_emplace(std::string(keyOf(block.lines[i])), static_cast<std::uint32_t>(i));
    }
    if (block.keys) {
        const auto it = block.keys->find(key);
        return it == block.keys->end() ? kNone : it->second;
    }
    for (std::size_t i = 0; i < block.lines.size(); ++i)
        if (block.lines[i].kind == Kind::Key && sameName(keyOf(block.lines[i]), key))
            return static_cast<std::uint32_t>(i);
    return kNone;
}

// New key lines go after the last key line, so no key line moves.
void IniDocument::Impl::insertKeyLine(Block& block, std::string_view key, const Line& line)
{
    const std::uint32_t at = block.insertAt;
    block.lines.insert(block.lines.begin() + at, line);
    block.lines[at].kind = Kind::Key;
    block.insertAt = at + 1;
    if (block.keys)
        block.keys->try_emplace(std::string(key), at);
    changed = true;
}

// Moves the lines still in use out of the file's bytes and frees them: saving a table removes its
// section and writes it again, and the file's bytes are mostly dead then.
void IniDocument::Impl::releaseContent()
{
    // Room for a section of the size it had: space reserved and not written costs no memory, and the
    // text of the writes then never has to move while it grows to that size.
    written.reserve(written.size() + content.size() + content.size() / 4);
    const auto move = [&](Line& line) {
        if (!line.written) {
            const Kind kind = line.kind;
            line = store(text(line));
            line.kind = kind;
        }
    };
    for (Block& block : blocks) {
        if (block.hasHeader)
            move(block.header);
        for (Line& line : block.lines)
            if (line.kind != Kind::Dead)
                move(line);
    }
    std::string().swap(content);
    deadContent = 0;
}

IniDocument::IniDocument() : IniDocument(std::string()) {}
IniDocument::IniDocument(std::string content) : m_impl(std::make_unique<Impl>(std::move(content))) {}
IniDocument::~IniDocument() = default;
IniDocument::IniDocument(IniDocument&&) noexcept = default;
IniDocument& IniDocument::operator=(IniDocument&&) noexcept = default;

namespace {

// A key line's value as a read gives it: blanks trimmed, one pair of enclosing quotes removed.
std::string_view valueOf(std::string_view line)
{
    std::string_view value = trimmedView(line.substr(line.find('=') + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value;
}

} // namespace

std::optional<std::string_view> IniDocument::value(std::string_view section, std::string_view key) const
{
    const std::uint32_t index = m_impl->findBlock(trimmedView(section));
    if (index == kNone)
        return std::nullopt;
    const Block& block = m_impl->blocks[index];
    const std::uint32_t at = m_impl->findKey(block, trimmedView(key));
    if (at == kNone)
        return std::nullopt;
    return valueOf(m_impl->text(block.lines[at]));
}

void IniDocument::forEachKey(std::string_view section,
                             const std::function<void(std::string_view, std::string_view)>& visit) const
{
    const std::uint32_t index = m_impl->findBlock(trimmedView(section));
    if (index == kNone)
        return;
    for (const Line& line : m_impl->blocks[index].lines)
        if (line.kind == Kind::Key)
            visit(m_impl->keyOf(line), valueOf(m_impl->text(line)));
}

bool IniDocument::setValue(std::string_view section, std::string_view key, std::string_view value)
{
    section = trimmedView(section);
    key = trimmedView(key);
    Impl& d = *m_impl;
    std::uint32_t index = d.findBlock(section);
    if (index == kNone)
        index = d.addBlock(section);
    Block& block = d.blocks[index];
    const std::uint32_t at = d.findKey(block, key);
    if (at == kNone) {
        d.insertKeyLine(block, key, d.store(key, "=", value));
        return true;
    }
    // The key keeps its spelling; only the value changes.
    const std::string_view old = d.text(block.lines[at]);
    const std::string_view spelling = d.keyOf(block.lines[at]);
    if (old.size() == spelling.size() + 1 + value.size() && old.substr(0, spelling.size()) == spelling &&
        old[spelling.size()] == '=' && old.substr(spelling.size() + 1) == value)
        return false;
    const std::string kept(spelling); // the view may point into the text the store below moves
    block.lines[at] = d.store(kept, "=", value);
    block.lines[at].kind = Kind::Key;
    d.changed = true;
    return true;
}

bool IniDocument::appendValue(std::string_view section, std::string_view key, std::string_view value)
{
    section = trimmedView(section);
    key = trimmedView(key);
    Impl& d = *m_impl;
    std::uint32_t index = d.findBlock(section);
    if (index == kNone)
        index = d.addBlock(section);
    if (!d.blocks[index].fresh)
        return setValue(section, key, value);
    d.insertKeyLine(d.blocks[index], key, d.store(key, "=", value));
    return true;
}

bool IniDocument::removeKey(std::string_view section, std::string_view key)
{
    key = trimmedView(key);
    Impl& d = *m_impl;
    const std::uint32_t index = d.findBlock(trimmedView(section));
    if (index == kNone)
        return false;
    Block& block = d.blocks[index];
    const std::uint32_t at = d.findKey(block, key);
    if (at == kNone)
        return false;
    block.lines[at].kind = Kind::Dead;
    if (block.keys) {
        // A later duplicate of the key now is the first one.
        const auto it = block.keys->find(key);
        std::uint32_t next = kNone;
        for (std::size_t i = at + 1; i < block.lines.size() && next == kNone; ++i)
            if (block.lines[i].kind == Kind::Key && sameName(d.keyOf(block.lines[i]), key))
                next = static_cast<std::uint32_t>(i);
        if (next == kNone)
            block.keys->erase(it);
        else
            it->second = next;
    }
    d.changed = true;
    return true;
}

bool IniDocument::removeSection(std::string_view section)
{
    Impl& d = *m_impl;
    const std::uint32_t index = d.findBlock(trimmedView(section));
    if (index == kNone)
        return false;
    Block& block = d.blocks[index];
    block.hasHeader = false;
    // The comment lines stay where they were; the key lines go.
    std::vector<Line> kept;
    for (const Line& line : block.lines) {
        if (line.kind == Kind::Other)
            kept.push_back(line);
        else if (!line.written)
            d.deadContent += line.size;
    }
    if (!block.header.written)
        d.deadContent += block.header.size;
    block.lines.swap(kept);
    block.keys.reset();
    block.insertAt = 0;
    d.lastBlock = kNone;
    d.changed = true;
    if (d.deadContent > d.content.size() / 2)
        d.releaseContent();
    return true;
}

bool IniDocument::changed() const
{
    return m_impl->changed;
}

bool IniDocument::writeTo(const std::function<bool(std::string_view)>& sink) const
{
    constexpr std::size_t kPiece = 1 << 16;
    std::string buffer;
    buffer.reserve(kPiece);
    const auto put = [&](const Line& line) {
        const std::string_view text = m_impl->text(line);
        if (buffer.size() + text.size() + 2 > kPiece) {
            if (!buffer.empty() && !sink(buffer))
                return false;
            buffer.clear();
            if (text.size() + 2 > kPiece)
                return sink(text) && sink("\r\n");
        }
        buffer.append(text);
        buffer += "\r\n";
        return true;
    };
    for (const Block& block : m_impl->blocks) {
        if (block.hasHeader && !put(block.header))
            return false;
        for (const Line& line : block.lines)
            if (line.kind != Kind::Dead && !put(line))
                return false;
    }
    return buffer.empty() || sink(buffer);
}

std::string IniDocument::text() const
{
    // Sized first: a string that doubles while it grows holds the file twice and more for a moment.
    std::size_t size = 0;
    for (const Block& block : m_impl->blocks) {
        size += block.hasHeader ? block.header.size + 2 : 0;
        for (const Line& line : block.lines)
            size += line.kind != Kind::Dead ? line.size + 2 : 0;
    }
    std::string out;
    out.reserve(size);
    writeTo([&](std::string_view piece) {
        out.append(piece);
        return true;
    });
    return out;
}

} // namespace platform
