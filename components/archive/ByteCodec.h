#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

namespace tkw::archive {

// Little-endian fields, written to and read from byte buffers. Reads never go past the span: the
// reader remembers that it ran short instead, so damaged input is caught at one place.

class ByteWriter {
public:
    explicit ByteWriter(std::string& out) : m_out(out) {}

    void U16(std::uint16_t v) { Put(v, 2); }
    void U32(std::uint32_t v) { Put(v, 4); }
    void U64(std::uint64_t v) { Put(v, 8); }
    void I64(std::int64_t v) { Put(static_cast<std::uint64_t>(v), 8); }
    void Bytes(std::string_view bytes) { m_out.append(bytes); }

private:
    void Put(std::uint64_t v, int size) {
        for (int i = 0; i < size; ++i) {
            m_out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
        }
    }
    std::string& m_out;
};

class ByteReader {
public:
    explicit ByteReader(std::string_view bytes) : m_bytes(bytes.data(), bytes.size()) {}

    std::uint16_t U16() { return static_cast<std::uint16_t>(Get(2)); }
    std::uint32_t U32() { return static_cast<std::uint32_t>(Get(4)); }
    std::uint64_t U64() { return Get(8); }
    std::int64_t I64() { return static_cast<std::int64_t>(Get(8)); }
    std::string_view Bytes(std::size_t count) {
        if (count > Remaining()) {
            m_short = true;
            m_pos = m_bytes.size();
            return {};
        }
        std::string_view view(m_bytes.data() + m_pos, count);
        m_pos += count;
        return view;
    }
    void Skip(std::size_t count) { Bytes(count); }

    std::size_t Position() const { return m_pos; }
    std::size_t Remaining() const { return m_bytes.size() - m_pos; }
    // False once any read ran past the end.
    bool Ok() const { return !m_short; }

private:
    std::uint64_t Get(int size) {
        if (static_cast<std::size_t>(size) > Remaining()) {
            m_short = true;
            m_pos = m_bytes.size();
            return 0;
        }
        std::uint64_t v = 0;
        for (int i = 0; i < size; ++i) {
            v |= static_cast<std::uint64_t>(static_cast<unsigned char>(m_bytes[m_pos + i]))
                 << (8 * i);
        }
        m_pos += size;
        return v;
    }

    std::span<const char> m_bytes;
    std::size_t m_pos = 0;
    bool m_short = false;
};

}  // namespace tkw::archive
