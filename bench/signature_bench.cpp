// What the maker's signature adds to the click: the image read whole without keys and with one
// (the signature file read, the DER taken, SHA-256 over the image and one ECDSA P-256
// verification), for images of 64 KiB to 16 MiB; and the check alone over bytes in memory.
// The key pair and the signature are made here with OpenSSL, once.
#include <benchmark/benchmark.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/evp.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "update/firmware_image.h"
#include "update/firmware_signature.h"

namespace {

using namespace dalvorn;
namespace fs = std::filesystem;

struct Signed {
  FirmwarePublicKey key;
  std::vector<std::uint8_t> image;
  std::vector<std::uint8_t> signature;
};

// A fresh P-256 key pair signs `size` bytes, as openssl dgst -sha256 -sign does.
Signed MakeSigned(std::size_t size) {
  Signed s;
  s.image.resize(size);
  for (std::size_t i = 0; i < size; ++i) s.image[i] = static_cast<std::uint8_t>(i * 31 + i / 7);
  std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> pkey(EVP_EC_gen("P-256"), EVP_PKEY_free);
  std::size_t pointSize = 0;
  EVP_PKEY_get_octet_string_param(pkey.get(), OSSL_PKEY_PARAM_PUB_KEY, s.key.point.data(),
                                  s.key.point.size(), &pointSize);
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  std::size_t length = 0;
  EVP_DigestSignInit(ctx.get(), nullptr, EVP_sha256(), nullptr, pkey.get());
  EVP_DigestSign(ctx.get(), nullptr, &length, s.image.data(), s.image.size());
  s.signature.resize(length);
  EVP_DigestSign(ctx.get(), s.signature.data(), &length, s.image.data(), s.image.size());
  s.signature.resize(length);
  return s;
}

void Write(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

// range(0): the image's size in KiB; range(1): 0 no keys, 1 one key.
void BM_LoadImage(benchmark::State& state) {
  const Signed s = MakeSigned(static_cast<std::size_t>(state.range(0)) * 1024);
  const fs::path dir = fs::temp_directory_path() / "dalvorn-bench-signature";
  fs::create_directories(dir);
  const std::string path = FirmwareImagePath(dir.string());
  Write(path, s.image);
  Write(SignaturePath(path), s.signature);
  DiskFirmwareImageFile file(state.range(1) != 0 ? FirmwareKeys{s.key} : FirmwareKeys{});
  for (auto _ : state) {
    FirmwareImage image;
    std::string error;
    if (!file.Load(path, image, error)) state.SkipWithError(error.c_str());
    benchmark::DoNotOptimize(image.bytes.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0) * 1024);
  fs::remove_all(dir);
}
BENCHMARK(BM_LoadImage)
    ->ArgsProduct({{64, 1024, 16384}, {0, 1}})
    ->ArgNames({"KiB", "keys"})
    ->Unit(benchmark::kMillisecond);

// The check alone, over a 1 MiB image in memory; range(0): the number of keys, the one that
// signed last (each key before it is tried and fails first).
void BM_VerifyInMemory(benchmark::State& state) {
  const Signed s = MakeSigned(1024 * 1024);
  FirmwareKeys keys;
  for (std::int64_t i = 1; i < state.range(0); ++i) keys.push_back(MakeSigned(64).key);
  keys.push_back(s.key);
  for (auto _ : state) {
    std::string error;
    if (VerifyFirmwareSignature(keys, s.image, s.signature, error) != SignatureVerdict::Verified) {
      state.SkipWithError("not verified");
    }
  }
}
BENCHMARK(BM_VerifyInMemory)->Arg(1)->Arg(3)->ArgName("keys")->Unit(benchmark::kMillisecond);

}  // namespace
