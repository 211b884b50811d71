// The evaluation network: 768 inputs (colour x piece type x square, seen
// from each side) into a first layer of NNUE_HIDDEN neurons per side, kept
// up to date move by move, then one output from both sides' activations
// (the side to move's first), chosen by the men on the board. Integer
// arithmetic throughout; the vector instructions are chosen at start-up.
#pragma once

#include <cstddef>
#include <cstdint>

#include "board/position.h"

constexpr int NNUE_INPUTS = 768;
constexpr int NNUE_HIDDEN = 256;
constexpr int NNUE_BUCKETS = 8;  // output layers by the number of men: (men - 2) / 4, at most 7
// Quantisation: the first layer's weights are scaled by NNUE_QA, the
// output's by NNUE_QB. The output is the trainer's logit of the win chance;
// NNUE_SCALE centipawns a unit puts it on the hand-written evaluation's
// scale, where a score s wins about sigmoid(s / 150) of Corvane's games.
constexpr int NNUE_QA = 255, NNUE_QB = 64, NNUE_SCALE = 150;
// The largest output weight the integer sum takes without overflow: a
// clipped activation (at most NNUE_QA) times it stays within 16 bits.
constexpr int NNUE_MAX_OUTPUT_WEIGHT = 127;
static_assert(NNUE_QA * NNUE_MAX_OUTPUT_WEIGHT <= INT16_MAX);

// Network files: "CVNN", then little-endian u32 version, inputs, hidden
// size and output count, the first layer's i16 weights (input-major) and i16
// biases, the output layers' i16 weights (the side to move's neurons first)
// and i32 biases, and a u32 FNV-1a checksum of every byte before it.
constexpr std::uint32_t NNUE_FILE_VERSION = 1;
constexpr std::size_t NNUE_FILE_BYTES = 20 + 2 * std::size_t(NNUE_INPUTS) * NNUE_HIDDEN + 2 * NNUE_HIDDEN +
                                        2 * std::size_t(NNUE_BUCKETS) * 2 * NNUE_HIDDEN + 4 * NNUE_BUCKETS +
                                        4;

// Start-up: the fastest vector instructions this processor has. The
// network itself is read when first needed (nnue_ensure_network), so an
// engine that never switches it on never pays for it.
void nnue_init();
// Reads the network built into the program unless a network is in place.
void nnue_ensure_network();
// Takes the network in `data` if it is a whole, sound network file, and
// calls it `name`: then returns nullptr. Otherwise returns why not, and the
// network in use stays.
const char* nnue_load_bytes(const unsigned char* data, std::size_t size, const char* name);
// The same for a file; "<embedded>" names the built-in network.
const char* nnue_load_file(const char* path);
// What the network in use is called: "<embedded>" or the file it came from.
const char* nnue_source();

// One thread's accumulators, one per ply. Positions without one (tests,
// tools) are evaluated from scratch each time.
NnueStack* nnue_stack_new();  // nullptr when there is no memory for it
void nnue_stack_free(NnueStack* stack);

// The score of the position in centipawns for the side to move, within
// +-limit. Reads pos.changes and the key history to bring the accumulators
// of pos.nnue up to the position, and writes only them.
int nnue_evaluate(const Position& pos, int limit);

// For tests and the bench program: the score computed from scratch, with no
// accumulator kept; the from-scratch twin of the accumulators (true when the
// sums kept for the position's ply are for it and equal a fresh sum); and
// the instruction sets the kernels can use.
int nnue_evaluate_fresh(const Position& pos, int limit);
bool nnue_accumulator_consistent(const Position& pos);
enum NnueKernel : int { NNUE_SCALAR, NNUE_SSE2, NNUE_AVX2 };
NnueKernel nnue_kernel();
const char* nnue_kernel_name(NnueKernel kernel);
// False when this processor (or build) cannot run the kernel; it is then not changed.
bool nnue_set_kernel(NnueKernel kernel);
