// Deflate blocks that hold literals alone, each with its own Huffman code made from the
// block's byte counts: no search for repeated strings, so the coder runs at the speed of a
// table look-up per byte, and the bytes it writes depend on the data alone (the same on
// every machine). Filtered rows of photographs are mostly small differences with few long
// repeats: there a code fitted to each block's bytes does about as well as a full deflate
// for a fraction of its time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Writes to the start of out the raw deflate data of `size` bytes of data, in one block for
// each part of data that ends at an entry of `ends` (ascending offsets, the last one
// `size`; an empty list is one block), and returns its length; out is grown when it is
// too small, and what lies after the data is left as it is. With `last` the final block
// ends the stream; else the data ends with an empty stored block, not final, which leaves
// it on a byte boundary where another piece's blocks may follow.
size_t DeflateLiterals(const uint8_t* data, size_t size, const std::vector<size_t>& ends, bool last,
                       std::vector<uint8_t>& out);

// The code lengths of a Huffman code for symbols counted `counts` (a length of 0 for a
// symbol never counted), none longer than max_length. A code always has at least two
// symbols (a second is given a length when only one is counted, so that every decoder
// takes the code); no symbol counted: every length 0. max_length must number the counted
// symbols (2^max_length at least their count).
std::vector<uint8_t> HuffmanLengths(const std::vector<uint32_t>& counts, int max_length);
