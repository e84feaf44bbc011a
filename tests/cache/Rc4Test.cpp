#include "cache/Rc4.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Bytes(const std::string& hex)
{
    std::vector<uint8_t> bytes;
    for (size_t k = 0; k + 1 < hex.size(); k += 2) {
        bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(k, 2), nullptr, 16)));
    }
    return bytes;
}

// Key streams from RFC 6229, section 2: 40-bit and 128-bit keys at offsets
// from 0 to 4096. The stream is drawn in uneven pieces, so that the word-wise
// loop and its tail both take part.
TEST(Rc4, MatchesRfc6229KeyStreams)
{
    const struct {
        const char* key;
        std::vector<std::pair<size_t, const char*>> samples;
    } cases[] = {
        {"0102030405",
         {{0, "b2396305f03dc027ccc3524a0a1118a8"},
          {16, "6982944f18fc82d589c403a47a0d0919"},
          {240, "28cb1132c96ce286421dcaadb8b69eae"},
          {4096, "ff25b58995996707e51fbdf08b34d875"}}},
        {"0102030405060708090a0b0c0d0e0f10",
         {{0, "9ac7cc9a609d1ef7b2932899cde41b97"}, {4096, "a36a4c301ae8ac13610ccbc12256cacc"}}},
        {"833222772a",
         {{256, "f0daf5bab3d596839857846f73fbfe5a"}, {4096, "bf42c3018c2f7c66bfde524975768115"}}},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> key = Bytes(c.key);
        zyr::cipher::Rc4 rc4(key.data(), key.size());
        std::vector<uint8_t> zeros(4096 + 16, 0);
        std::vector<uint8_t> stream(zeros.size());
        size_t offset = 0;
        for (size_t piece = 1; offset < zeros.size(); piece = piece * 3 + 1) {
            size_t size = std::min(piece, zeros.size() - offset);
            rc4.Apply(zeros.data() + offset, stream.data() + offset, size);
            offset += size;
        }
        for (const auto& [at, expected] : c.samples) {
            EXPECT_EQ(std::vector<uint8_t>(stream.begin() + static_cast<long>(at),
                                           stream.begin() + static_cast<long>(at) + 16),
                      Bytes(expected))
                << "key " << c.key << " offset " << at;
        }
    }
}

} // namespace
