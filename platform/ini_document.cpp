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

std::string lowered(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = lower(c);
    return out;
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

// The hash of a key, without regard to case. Keys that end in consecutive numbers ("Item0",
// "Item1", ...) get consecutive hashes in groups of 8, one cache line of the index each, so that a
// run through a long list touches the index in order instead of at random.
std::uint32_t hashName(std::string_view name)
{
    std::size_t digits = 0;
    while (digits < name.size() && digits < 9 && name[name.size() - 1 - digits] >= '0' &&
           name[name.size() - 1 - digits] <= '9')
        ++digits;
    std::uint32_t hash = 2166136261u;
    for (char c : name.substr(0, name.size() - digits)) {
        hash ^= static_cast<unsigned char>(lower(c));
        hash *= 16777619u;
    }
    if (digits == 0)
        return hash;
    std::uint32_t number = 0;
    for (char c : name.substr(name.size() - digits))
        number = number * 10 + static_cast<std::uint32_t>(c - '0');
    hash ^= static_cast<std::uint32_t>(digits) << 24;
    hash = (hash ^ (number >> 3)) * 0x9E3779B1u;
    hash ^= hash >> 15;
    return (hash & ~7u) | (number & 7u);
}

enum class Kind : std::uint8_t
{
    Other,
    Key,
    Dead
};

// One line of the file without its line end, as a view into the file's bytes or into the text of a
// write.
struct Line
{
    const char* text = nullptr;
    std::uint32_t size = 0;
    Kind kind = Kind::Other;
    std::string_view view() const { return {text, size}; }
};

std::string_view keyOf(const Line& line)
{
    const std::string_view text = line.view();
    return trimmedView(text.substr(0, text.find('=')));
}

// The key lines of one section: an open-addressing table of (hash, line number + 1), the first
// line of each key only.
class KeyIndex
{
public:
    std::uint32_t find(std::string_view key, std::uint32_t hash, const std::vector<Line>& lines) const
    {
        if (m_slots.empty())
            return kNone;
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
            const Slot& slot = m_slots[i];
            if (slot.line == 0)
                return kNone;
            if (slot.line != kTombstone && slot.hash == hash && sameName(keyOf(lines[slot.line - 1]), key))
                return slot.line - 1;
        }
    }

    // Adds the line unless its key is there already (the first line of a key wins).
    void insertFirst(std::string_view key, std::uint32_t hash, std::uint32_t line,
                     const std::vector<Line>& lines)
    {
        if ((m_used + 1) * 4 > m_slots.size() * 3)
            grow();
        const std::size_t mask = m_slots.size() - 1;
        std::size_t i = hash & mask;
        for (; m_slots[i].line != 0; i = (i + 1) & mask)
            if (m_slots[i].line != kTombstone && m_slots[i].hash == hash &&
                sameName(keyOf(lines[m_slots[i].line - 1]), key))
                return;
        m_slots[i] = {hash, line + 1};
        ++m_used;
    }

    // Room for `count` keys without growing.
    void reserve(std::size_t count)
    {
        std::size_t size = 16;
        while (count * 4 > size * 3)
            size *= 2;
        if (size > m_slots.size())
            grow(size);
    }

    void insert(std::uint32_t hash, std::uint32_t line)
    {
        if ((m_used + 1) * 4 > m_slots.size() * 3)
            grow();
        place(hash, line + 1);
        ++m_used;
    }

    void erase(std::uint32_t hash, std::uint32_t line)
    {
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t i = hash & mask; m_slots[i].line != 0; i = (i + 1) & mask)
            if (m_slots[i].line == line + 1) {
                m_slots[i].line = kTombstone;
                return;
            }
    }

    void clear()
    {
        std::vector<Slot>().swap(m_slots);
        m_used = 0;
    }

    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

private:
    struct Slot
    {
        std::uint32_t hash = 0;
        std::uint32_t line = 0; // 0 empty, kTombstone removed, else line number + 1
    };
    static constexpr std::uint32_t kTombstone = 0xFFFFFFFFu;

    void place(std::uint32_t hash, std::uint32_t value)
    {
        const std::size_t mask = m_slots.size() - 1;
        std::size_t i = hash & mask;
        while (m_slots[i].line != 0)
            i = (i + 1) & mask;
        m_slots[i] = {hash, value};
    }

    void grow(std::size_t size = 0)
    {
        std::vector<Slot> old;
        old.swap(m_slots);
        m_slots.resize(size ? size : old.empty() ? 16 : old.size() * 2);
        m_used = 0;
        for (const Slot& slot : old)
            if (slot.line != 0 && slot.line != kTombstone) {
                place(slot.hash, slot.line);
                ++m_used;
            }
    }

    std::vector<Slot> m_slots;
    std::size_t m_used = 0; // live entries and tombstones
};

// A header line and the lines up to the next header. The first block of a file has no header.
struct Block
{
    bool hasHeader = false;
    Line header;
    std::vector<Line> lines;
    std::uint32_t insertAt = 0; // after the last key line
    // Built when the section is first looked up: a section that is only erased never needs it.
    mutable KeyIndex keys;
    mutable bool indexed = false;

    const KeyIndex& index() const
    {
        if (!indexed) {
            std::size_t count = 0;
            for (const Line& line : lines)
                count += line.kind == Kind::Key ? 1 : 0;
            keys.reserve(count);
            for (std::size_t i = 0; i < lines.size(); ++i)
                if (lines[i].kind == Kind::Key) {
                    const std::string_view key = keyOf(lines[i]);
                    keys.insertFirst(key, hashName(key), static_cast<std::uint32_t>(i), lines);
                }
            indexed = true;
        }
        return keys;
    }
    KeyIndex& index() { return const_cast<KeyIndex&>(std::as_const(*this).index()); }
};

// The blocks of one section name, in file order; removed ones come first.
struct SectionBlocks
{
    std::vector<std::uint32_t> blocks;
    std::size_t firstLive = 0;
};

// Holds the text of writes in large pieces that never move.
class Arena
{
public:
    std::string_view store(std::string_view a, std::string_view b = {}, std::string_view c = {})
    {
        const std::size_t size = a.size() + b.size() + c.size();
        if (size > m_left) {
            const std::size_t chunk = size > kChunk ? size : kChunk;
            m_chunks.emplace_back(new char[chunk]);
            m_next = m_chunks.back().get();
            m_left = chunk;
        }
        char* out = m_next;
        if (size == 0)
            return {out, size}; // empty, and still pointing into the arena
        char* at = out;
        for (const std::string_view part : {a, b, c}) {
            if (!part.empty())
                std::memcpy(at, part.data(), part.size());
            at += part.size();
        }
        m_next += size;
        m_left -= size;
        return {out, size};
    }

private:
    static constexpr std::size_t kChunk = 1 << 20;
    std::vector<std::unique_ptr<char[]>> m_chunks;
    char* m_next = nullptr;
    std::size_t m_left = 0;
};

} // namespace

struct IniDocument::Impl
{
    explicit Impl(std::string bytes) : content(std::move(bytes)) { parse(); }

    std::string content; // the file's bytes; lines point into them
    std::vector<Block> blocks;
    std::unordered_map<std::string, SectionBlocks> sections; // by lower-case name
    Arena arena;
    bool changed = false;

    // The last section looked up, so that a run of reads in one section hashes its name once.
    mutable std::string cachedName;
    mutable std::uint32_t cachedBlock = 0;
    mutable bool cacheValid = false;

    static constexpr std::uint32_t kNoBlock = 0xFFFFFFFFu;

    std::size_t deadContent = 0; // bytes of the file's lines that were removed

    void parse();
    bool inContent(const Line& line) const
    {
        const auto at = reinterpret_cast<std::uintptr_t>(line.text);
        const auto begin = reinterpret_cast<std::uintptr_t>(content.data());
        return at >= begin && at < begin + content.size();
    }
    void releaseContent();
    std::uint32_t findBlock(std::string_view name) const;
    std::uint32_t addBlock(std::string_view name);
    bool applySet(std::string_view section, std::string_view line, std::size_t keyLength);
    bool applyRemoveKey(std::string_view section, std::string_view key);
    bool applyRemoveSection(std::string_view section);
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
        if (end < size)
            end += (data[end] == '\r' && end + 1 < size && data[end + 1] == '\n') ? 2 : 1;
        pos = end;

        std::size_t first = 0;
        while (first < text.size() && isBlank(text[first]))
            ++first;
        const Line line{text.data(), static_cast<std::uint32_t>(text.size()), Kind::Other};
        if (first < text.size() && text[first] == '[') {
            const std::size_t close = text.find(']', first + 1);
            const std::size_t nameEnd = close == std::string_view::npos ? text.size() : close;
            Block block;
            block.hasHeader = true;
            block.header = line;
            sections[lowered(trimmedView(text.substr(first + 1, nameEnd - first - 1)))].blocks.push_back(
                static_cast<std::uint32_t>(blocks.size()));
            blocks.push_back(std::move(block));
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
    if (cacheValid && name == cachedName)
        return cachedBlock;
    std::uint32_t found = kNoBlock;
    const auto it = sections.find(lowered(name));
    if (it != sections.end() && it->second.firstLive < it->second.blocks.size())
        found = it->second.blocks[it->second.firstLive];
    cachedName.assign(name);
    cachedBlock = found;
    cacheValid = true;
    return found;
}

std::uint32_t IniDocument::Impl::addBlock(std::string_view name)
{
    Block block;
    block.hasHeader = true;
    const std::string_view header = arena.store("[", name, "]");
    block.header = {header.data(), static_cast<std::uint32_t>(header.size()), Kind::Other};
    const auto index = static_cast<std::uint32_t>(blocks.size());
    sections[lowered(name)].blocks.push_back(index);
    blocks.push_back(std::move(block));
    cacheValid = false;
    return index;
}

bool IniDocument::Impl::applySet(std::string_view section, std::string_view text, std::size_t keyLength)
{
    const std::string_view key = text.substr(0, keyLength);
    std::uint32_t index = findBlock(section);
    if (index == kNoBlock)
        index = addBlock(section);
    Block& block = blocks[index];
    const std::uint32_t hash = hashName(key);
    const std::uint32_t at = block.index().find(key, hash, block.lines);
    if (at != KeyIndex::kNone) {
        // The key keeps its spelling; only the value changes.
        Line& line = block.lines[at];
        const std::string_view spelling = keyOf(line);
        const std::string_view value = text.substr(keyLength + 1);
        const std::string_view old = line.view();
        if (old.size() == spelling.size() + 1 + value.size() && old.substr(0, spelling.size()) == spelling &&
            old[spelling.size()] == '=' && old.substr(spelling.size() + 1) == value)
            return false;
        const std::string_view fresh = spelling == key ? text : arena.store(spelling, "=", value);
        line.text = fresh.data();
        line.size = static_cast<std::uint32_t>(fresh.size());
        return true;
    }
    const std::uint32_t insertAt = block.insertAt;
    block.lines.insert(block.lines.begin() + insertAt,
                       Line{text.data(), static_cast<std::uint32_t>(text.size()), Kind::Key});
    block.index().insert(hash, insertAt);
    block.insertAt = insertAt + 1;
    return true;
}

bool IniDocument::Impl::applyRemoveKey(std::string_view section, std::string_view key)
{
    const std::uint32_t index = findBlock(section);
    if (index == kNoBlock)
        return false;
    Block& block = blocks[index];
    const std::uint32_t hash = hashName(key);
    KeyIndex& keys = block.index();
    const std::uint32_t at = keys.find(key, hash, block.lines);
    if (at == KeyIndex::kNone)
        return false;
    block.lines[at].kind = Kind::Dead;
    keys.erase(hash, at);
    // A later duplicate of the key now is the first one.
    for (std::size_t i = at + 1; i < block.lines.size(); ++i) {
        const Line& line = block.lines[i];
        if (line.kind == Kind::Key && sameName(keyOf(line), key)) {
            keys.insert(hash, static_cast<std::uint32_t>(i));
            break;
        }
    }
    return true;
}

bool IniDocument::Impl::applyRemoveSection(std::string_view section)
{
    const std::uint32_t index = findBlock(section);
    if (index == kNoBlock)
        return false;
    Block& block = blocks[index];
    block.hasHeader = false;
    // The comment lines stay where they were; the key lines go.
    std::vector<Line> kept;
    for (const Line& line : block.lines) {
        if (line.kind == Kind::Other)
            kept.push_back(line);
        else if (inContent(line))
            deadContent += line.size;
    }
    if (inContent(block.header))
        deadContent += block.header.size;
    block.lines.swap(kept);
    block.keys.clear();
    block.indexed = true;
    block.insertAt = 0;
    ++sections[lowered(section)].firstLive;
    cacheValid = false;
    // Saving a table erases its section and writes it again: most of the file is dead then.
    if (deadContent > content.size() / 2)
        releaseContent();
    return true;
}

// Moves the lines still in use out of the file's bytes and frees them.
void IniDocument::Impl::releaseContent()
{
    const auto move = [&](Line& line) {
        if (inContent(line))
            line.text = arena.store(line.view()).data();
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

std::optional<std::string_view> IniDocument::value(std::string_view section, std::string_view key) const
{
    const std::uint32_t index = m_impl->findBlock(trimmedView(section));
    if (index == Impl::kNoBlock)
        return std::nullopt;
    const Block& block = m_impl->blocks[index];
    key = trimmedView(key);
    const std::uint32_t at = block.index().find(key, hashName(key), block.lines);
    if (at == KeyIndex::kNone)
        return std::nullopt;
    const std::string_view text = block.lines[at].view();
    std::string_view value = trimmedView(text.substr(text.find('=') + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value;
}

bool IniDocument::setValue(std::string_view section, std::string_view key, std::string_view value)
{
    section = trimmedView(section);
    key = trimmedView(key);
    const std::string_view text = m_impl->arena.store(key, "=", value);
    const bool changed = m_impl->applySet(section, text, key.size());
    m_impl->changed = m_impl->changed || changed;
    return changed;
}

bool IniDocument::removeKey(std::string_view section, std::string_view key)
{
    section = trimmedView(section);
    const std::string_view text = m_impl->arena.store(trimmedView(key));
    const bool changed = m_impl->applyRemoveKey(section, text);
    m_impl->changed = m_impl->changed || changed;
    return changed;
}

bool IniDocument::removeSection(std::string_view section)
{
    section = trimmedView(section);
    const bool changed = m_impl->applyRemoveSection(section);
    m_impl->changed = m_impl->changed || changed;
    return changed;
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
        if (buffer.size() + line.size + 2 > kPiece) {
            if (!buffer.empty() && !sink(buffer))
                return false;
            buffer.clear();
            if (line.size + 2 > kPiece) {
                if (!sink(line.view()) || !sink("\r\n"))
                    return false;
                return true;
            }
        }
        buffer.append(line.text, line.size);
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
    std::string out;
    writeTo([&](std::string_view piece) {
        out.append(piece);
        return true;
    });
    return out;
}

} // namespace platform
