// Bytes made on demand: a compressed frame decompressed only as far as it is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace orvel {

class ByteSource {
  public:
    virtual ~ByteSource() = default;

    // Bytes the source stands for: the size its header claims (bounded before it is trusted).
    virtual std::int64_t size() const = 0;

    // Reads up to n bytes from the 0-based offset, making them first when they are not yet
    // made; fewer at the end, and fewer (with problem() set) when they cannot be made. Safe to
    // call from several threads.
    virtual std::size_t readAt(std::int64_t offset, void* buf, std::size_t n) = 0;

    // Why bytes could not be made (damaged data, not enough memory); empty while all is well.
    virtual std::string problem() const = 0;
};

}  // namespace orvel
