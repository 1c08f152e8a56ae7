#pragma once
// Name registry: every named state variable of the program can be read and written by name with
// its type. Used by the script host, the tests and diagnostics. Entries point into the owning
// Program, which is created once on the heap and never moves.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kvr {

enum class VarType {
    Int,     // int / 32-bit "long"
    UInt,    // unsigned (32 bits)
    Short,   // int16_t
    UShort,  // uint16_t
    Char,    // a single character (char)
    UChar,   // small unsigned number (unsigned char)
    Float,
    Double,
    Text,      // char array with capacity (including the terminator)
    PixelPtr,  // uint16_t* into one of the named buffers (read only)
    BytePtr,   // uint8_t* into one of the named buffers (read only)
};

const char* type_name(VarType t);

struct VarEntry {
    VarType type;
    void* address;
    int capacity = 0;  // text capacity in bytes, including the terminator
};

enum class SetResult { Ok, UnknownName, BadValue, OutOfRange, TooLong, ReadOnly };

class Registry {
  public:
    void add(std::string_view name, int* v) { put(name, {VarType::Int, v}); }
    void add(std::string_view name, unsigned* v) { put(name, {VarType::UInt, v}); }
    void add(std::string_view name, int16_t* v) { put(name, {VarType::Short, v}); }
    void add(std::string_view name, uint16_t* v) { put(name, {VarType::UShort, v}); }
    void add(std::string_view name, char* v) { put(name, {VarType::Char, v}); }
    void add(std::string_view name, unsigned char* v) { put(name, {VarType::UChar, v}); }
    void add(std::string_view name, float* v) { put(name, {VarType::Float, v}); }
    void add(std::string_view name, double* v) { put(name, {VarType::Double, v}); }
    void add(std::string_view name, uint16_t** v) { put(name, {VarType::PixelPtr, v}); }
    void add(std::string_view name, uint8_t** v) { put(name, {VarType::BytePtr, v}); }
    void add_text(std::string_view name, char* text, int capacity) {
        put(name, {VarType::Text, text, capacity});
    }
    template <typename T>
    void add_array(std::string_view name, T* first, int count) {
        for (int i = 0; i < count; ++i) add(indexed(name, i), first + i);
    }
    void add_lines(std::string_view name, char* first, int lines, int capacity) {
        for (int i = 0; i < lines; ++i) add_text(indexed(name, i), first + i * capacity, capacity);
    }
    // Names the memory range of a buffer so that pointers into it print as "buffer+offset".
    void add_buffer(std::string_view name, const void* begin, size_t bytes);

    const VarEntry* find(std::string_view name) const;
    bool contains(std::string_view name) const { return find(name) != nullptr; }
    // Value as text; false when the name is unknown.
    bool get(std::string_view name, std::string& out) const;
    SetResult set(std::string_view name, std::string_view value);
    std::vector<std::string> names() const;
    // Names registered twice (a programming error the tests check for).
    const std::vector<std::string>& duplicates() const { return duplicates_; }

  private:
    static std::string indexed(std::string_view name, int i);
    void put(std::string_view name, VarEntry e);
    std::string describe_pointer(const void* p) const;

    struct BufferRange {
        std::string name;
        const char* begin;
        size_t bytes;
    };
    std::map<std::string, VarEntry, std::less<>> entries_;
    std::vector<BufferRange> buffers_;
    std::vector<std::string> duplicates_;
};

const char* set_result_text(SetResult r);

}  // namespace kvr
