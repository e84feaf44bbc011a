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

struct StreamSample {
    size_t offset;
    const char* stream;
};

// Key streams from RFC 6229, section 2: 40-bit and 128-bit keys at offsets
// from 0 to 4096.
void ExpectKeyStream(const std::string& keyHex, std::initializer_list<StreamSample> samples)
{
    std::vector<uint8_t> key = Bytes(keyHex);
    zyr::cipher::Rc4 rc4(key.data(), key.size());
    std::vector<uint8_t> stream(4096 + 16, 0);
    rc4.Apply(stream.data(), stream.size());
    for (const auto& sample : samples) {
        std::vector<uint8_t> expected = Bytes(sample.stream);
        std::vector<uint8_t> actual(stream.begin() + static_cast<long>(sample.offset),
                                    stream.begin() + static_cast<long>(sample.offset + 16));
        EXPECT_EQ(actual, expected) << "key " << keyHex << " offset " << sample.offset;
    }
}

TEST(Rc4, MatchesRfc6229KeyStreams)
{
    ExpectKeyStream("0102030405", {{0, "b2396305f03dc027ccc3524a0a1118a8"},
                                   {16, "6982944f18fc82d589c403a47a0d0919"},
                                   {240, "28cb1132c96ce286421dcaadb8b69eae"},
                                   {256, "1cfcf62b03eddb641d77dfcf7f8d8c93"},
                                   {4096, "ff25b58995996707e51fbdf08b34d875"}});
    ExpectKeyStream("0102030405060708090a0b0c0d0e0f10", {{0, "9ac7cc9a609d1ef7b2932899cde41b97"},
                                                         {16, "5248c4959014126a6e8a84f11d1a9e1c"},
                                                         {240, "065902e4b620f6cc36c8589f66432f2b"},
                                                         {4096, "a36a4c301ae8ac13610ccbc12256cacc"}});
    ExpectKeyStream("833222772a", {{0, "80ad97bdc973df8a2e879e92a497efda"},
                                   {256, "f0daf5bab3d596839857846f73fbfe5a"},
                                   {4096, "bf42c3018c2f7c66bfde524975768115"}});
}

// The stream continues across calls of any length, and in and out may differ.
TEST(Rc4, StreamIsTheSameInPiecesAndInOneCall)
{
    const uint8_t key[] = {1, 2, 3, 4, 5};
    std::vector<uint8_t> plain(1000);
    for (size_t k = 0; k < plain.size(); ++k) {
        plain[k] = static_cast<uint8_t>(k * 7);
    }
    std::vector<uint8_t> whole = plain;
    zyr::cipher::Rc4(key, sizeof key).Apply(whole.data(), whole.size());

    zyr::cipher::Rc4 pieces(key, sizeof key);
    std::vector<uint8_t> out(plain.size());
    size_t offset = 0;
    for (size_t piece : {1, 2, 3, 5, 8, 13, 21, 947}) {
        pieces.Apply(plain.data() + offset, out.data() + offset, piece);
        offset += piece;
    }
    ASSERT_EQ(offset, plain.size());
    EXPECT_EQ(out, whole);
}

} // namespace
