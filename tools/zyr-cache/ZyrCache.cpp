// zyr-cache: the text cipher and the cache files from the command line.
//
//   zyr-cache encrypt [--pass P]   raw bytes on stdin, the encrypted text on stdout
//   zyr-cache decrypt [--pass P]   an encrypted text on stdin, the raw bytes on stdout
//   zyr-cache show FILE            the plain text of a cache file on stdout
//   zyr-cache write FILE           stdin, encrypted, as the whole content of a cache file
//
// Exit status: 0 done, 1 bad input or a file that cannot be read or written,
// 2 usage error.
#include "cache/Base64Variant.h"
#include "cache/CacheFiles.h"
#include "cache/Rc4.h"
#include "cache/TextCipher.h"

#include "ZyrVersion.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kDone = 0;
constexpr int kBadInput = 1;
constexpr int kUsage = 2;

const char kUsageText[] = "usage: zyr-cache encrypt [--pass P]   (stdin: raw bytes; stdout: encrypted text)\n"
                          "       zyr-cache decrypt [--pass P]   (stdin: encrypted text; stdout: raw bytes)\n"
                          "       zyr-cache show FILE            (prints the plain text of a cache file)\n"
                          "       zyr-cache write FILE           (writes stdin, encrypted, as a cache file)\n"
                          "       zyr-cache --help | --version\n"
                          "Without --pass the built-in pass phrase is used, as for the cache files.\n";

int Usage(const char* problem)
{
    std::fprintf(stderr, "zyr-cache: %s\n%s", problem, kUsageText);
    return kUsage;
}

bool ReadStandardInput(std::string& data)
{
    data.clear();
    char piece[65536];
    for (;;) {
        size_t got = std::fread(piece, 1, sizeof piece, stdin);
        data.append(piece, got);
        if (got < sizeof piece) {
            return std::ferror(stdin) == 0;
        }
    }
}

bool WriteStandardOutput(const std::string& data)
{
    return std::fwrite(data.data(), 1, data.size(), stdout) == data.size() && std::fflush(stdout) == 0;
}

int Failure(const std::string& message)
{
    std::fprintf(stderr, "zyr-cache: %s\n", message.c_str());
    return kBadInput;
}

std::string ResultText(HRESULT hr)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
    return text;
}

// Standard input is streamed in fixed slices: the cipher is a stream cipher
// and the text encoding works on 3-byte groups, so a slice of whole groups
// encrypts to whole characters and memory stays the same for any size.
constexpr size_t kSliceBytes = 3 * 65536;

// Reads until data holds want bytes or the input ends; false on a read error.
bool ReadSlice(std::vector<uint8_t>& data, size_t want)
{
    data.resize(want);
    size_t got = 0;
    while (got < want) {
        size_t n = std::fread(data.data() + got, 1, want - got, stdin);
        got += n;
        if (n == 0) {
            break;
        }
    }
    data.resize(got);
    return std::ferror(stdin) == 0;
}

bool WriteBytes(const void* data, size_t size)
{
    return std::fwrite(data, 1, size, stdout) == size;
}

int Encrypt(const char* passPhrase)
{
    std::optional<zyr::cipher::Rc4> rc4;
    HRESULT hr = zyr::cipher::KeyedCipher(passPhrase, rc4);
    if (FAILED(hr)) {
        return Failure("encryption failed (" + ResultText(hr) + ")");
    }
    std::vector<uint8_t> slice;
    std::string encoded(zyr::cipher::EncodedLength(kSliceBytes), '\0');
    do {
        if (!ReadSlice(slice, kSliceBytes)) {
            return Failure(std::string("cannot read standard input: ") + std::strerror(errno));
        }
        rc4->Apply(slice.data(), slice.size());
        size_t length = zyr::cipher::EncodeBase64Variant(slice.data(), slice.size(), encoded.data());
        if (!WriteBytes(encoded.data(), length)) {
            return Failure("cannot write standard output");
        }
    } while (slice.size() == kSliceBytes);
    return std::fflush(stdout) == 0 ? kDone : Failure("cannot write standard output");
}

bool IsSpace(uint8_t c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

int Decrypt(const char* passPhrase)
{
    std::optional<zyr::cipher::Rc4> rc4;
    HRESULT hr = zyr::cipher::KeyedCipher(passPhrase, rc4);
    if (FAILED(hr)) {
        return Failure("decryption failed (" + ResultText(hr) + ")");
    }
    // The characters read and not yet decoded, white space taken out. The
    // last group is kept back until the input ends, so that padding is
    // accepted only at the very end. Output already written stays written
    // when a later slice turns out not to decode.
    std::string pending;
    std::vector<uint8_t> slice;
    std::vector<uint8_t> plain;
    bool ended = false;
    while (!ended) {
        if (!ReadSlice(slice, 4 * 65536)) {
            return Failure(std::string("cannot read standard input: ") + std::strerror(errno));
        }
        ended = slice.size() < 4 * 65536;
        for (uint8_t c : slice) {
            if (!IsSpace(c)) {
                pending.push_back(static_cast<char>(c));
            }
        }
        size_t ready = ended ? pending.size() : (pending.size() / 4) * 4;
        if (!ended && ready >= 4) {
            ready -= 4;
        }
        if (ready == 0 && !ended) {
            continue;
        }
        plain.resize(zyr::cipher::MaxDecodedLength(ready));
        zyr::cipher::DecodeResult decoded =
            zyr::cipher::DecodeBase64Variant(pending.data(), ready, plain.data(), plain.size());
        if (decoded.status != zyr::cipher::DecodeStatus::Ok) {
            return Failure(
                "the input is not an encrypted text (base 64 with \"-\" and \"/\" and \"=\" padding)");
        }
        rc4->Apply(plain.data(), decoded.written);
        if (!WriteBytes(plain.data(), decoded.written)) {
            return Failure("cannot write standard output");
        }
        pending.erase(0, ready);
    }
    return std::fflush(stdout) == 0 ? kDone : Failure("cannot write standard output");
}

int Show(const std::string& file)
{
    std::string plain;
    errno = 0;
    HRESULT hr = zyr::cache::ReadCacheFile(file, plain);
    if (hr == E_FAIL) {
        return Failure("cannot read " + file + (errno != 0 ? std::string(": ") + std::strerror(errno) : ""));
    }
    if (FAILED(hr)) {
        return Failure(file + " does not hold an encrypted text (" + ResultText(hr) + ")");
    }
    return WriteStandardOutput(plain) ? kDone : Failure("cannot write standard output");
}

int Write(const std::string& file)
{
    std::string plain;
    if (!ReadStandardInput(plain)) {
        return Failure(std::string("cannot read standard input: ") + std::strerror(errno));
    }
    HRESULT hr = KvtEncryptBufferAndPersistInFile(plain, file);
    if (FAILED(hr)) {
        return Failure("cannot write " + file + " (" + ResultText(hr) + ")");
    }
    return kDone;
}

} // namespace

int main(int argc, char** argv)
{
    if (zyr::PrintVersion(argc, argv, "zyr-cache")) {
        return kDone;
    }
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        return Usage("no command given");
    }
    const std::string command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsageText, stdout);
        return kDone;
    }
    if (command == "encrypt" || command == "decrypt") {
        std::optional<std::string> passPhrase;
        for (size_t k = 1; k < args.size(); ++k) {
            if (args[k] == "--pass" && k + 1 < args.size()) {
                passPhrase = args[++k];
            } else if (args[k].rfind("--pass=", 0) == 0) {
                passPhrase = args[k].substr(7);
            } else if (args[k] == "--pass") {
                return Usage("--pass needs a pass phrase");
            } else {
                return Usage(("unexpected argument: " + args[k]).c_str());
            }
        }
        const char* phrase = passPhrase ? passPhrase->c_str() : nullptr;
        return command == "encrypt" ? Encrypt(phrase) : Decrypt(phrase);
    }
    if (command == "show" || command == "write") {
        if (args.size() != 2 || args[1].empty()) {
            return Usage((command + " needs exactly one FILE").c_str());
        }
        return command == "show" ? Show(args[1]) : Write(args[1]);
    }
    return Usage(("unknown command: " + command).c_str());
}
