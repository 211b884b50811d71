// The fuzz targets. Each takes one input, runs it through a part of the
// engine and checks invariants of its own; the libFuzzer entry points and the
// corpus test call them alike.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fuzz {

using Target = int (*)(const std::uint8_t* data, std::size_t size);

int fen(const std::uint8_t* data, std::size_t size);
int position(const std::uint8_t* data, std::size_t size);
int go(const std::uint8_t* data, std::size_t size);
int setoption(const std::uint8_t* data, std::size_t size);
int commands(const std::uint8_t* data, std::size_t size);
int book(const std::uint8_t* data, std::size_t size);
int syzygy(const std::uint8_t* data, std::size_t size);
int network(const std::uint8_t* data, std::size_t size);

struct NamedTarget {
    const char* name;  // also the name of its corpus directory
    Target run;
};

inline constexpr NamedTarget TARGETS[] = {
    {"fen", fen},
    {"position", position},
    {"go", go},
    {"setoption", setoption},
    {"commands", commands},
    {"book", book},
    {"syzygy", syzygy},
    {"network", network},
};

}  // namespace fuzz
