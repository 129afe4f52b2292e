// The signature check with OpenSSL's libcrypto: the key is built from its raw point, the
// signature given back to OpenSSL in DER once ParseDerSignature has taken it.
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ecdsa.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/params.h>

#include <memory>

#include "update/signature_crypto.h"

namespace dalvorn {
namespace {

struct Free {
  void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
  void operator()(EVP_PKEY_CTX* p) const { EVP_PKEY_CTX_free(p); }
  void operator()(ECDSA_SIG* p) const { ECDSA_SIG_free(p); }
  void operator()(BIGNUM* p) const { BN_free(p); }
  void operator()(unsigned char* p) const { OPENSSL_free(p); }
};
template <typename T>
using Owned = std::unique_ptr<T, Free>;

// The last error OpenSSL queued, or `what` when it queued none.
std::string OpenSslError(const char* what) {
  const unsigned long code = ERR_get_error();
  ERR_clear_error();
  if (code == 0) return what;
  char text[256];
  ERR_error_string_n(code, text, sizeof text);
  return std::string(what) + ": " + text;
}

// The public key at `point` on P-256; null when OpenSSL does not take it (off the curve).
Owned<EVP_PKEY> PublicKey(const FirmwarePublicKey& key) {
  // Only the uncompressed form, as CNG takes it (OpenSSL would read the hybrid forms too).
  if (key.point[0] != 0x04) return nullptr;
  Owned<EVP_PKEY_CTX> ctx(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
  if (!ctx || EVP_PKEY_fromdata_init(ctx.get()) != 1) return nullptr;
  char group[] = "prime256v1";
  std::array<std::uint8_t, PublicKeyPointBytes> point = key.point;
  const OSSL_PARAM params[] = {
      OSSL_PARAM_construct_utf8_string(OSSL_PKEY_PARAM_GROUP_NAME, group, 0),
      OSSL_PARAM_construct_octet_string(OSSL_PKEY_PARAM_PUB_KEY, point.data(), point.size()),
      OSSL_PARAM_construct_end()};
  EVP_PKEY* made = nullptr;
  if (EVP_PKEY_fromdata(ctx.get(), &made, EVP_PKEY_PUBLIC_KEY, const_cast<OSSL_PARAM*>(params)) !=
      1) {
    return nullptr;
  }
  return Owned<EVP_PKEY>(made);
}

// r||s in DER, as OpenSSL takes it.
bool ToDer(const RawSignature& raw, Owned<unsigned char>& der, int& length) {
  Owned<ECDSA_SIG> sig(ECDSA_SIG_new());
  Owned<BIGNUM> r(BN_bin2bn(raw.data(), 32, nullptr));
  Owned<BIGNUM> s(BN_bin2bn(raw.data() + 32, 32, nullptr));
  if (!sig || !r || !s || ECDSA_SIG_set0(sig.get(), r.get(), s.get()) != 1) return false;
  r.release();  // now owned by sig
  s.release();
  unsigned char* out = nullptr;
  length = i2d_ECDSA_SIG(sig.get(), &out);
  der.reset(out);
  return length > 0;
}

}  // namespace

bool Sha256(const std::uint8_t* data, std::size_t size, Sha256Digest& digest, std::string& error) {
  unsigned int length = 0;
  if (EVP_Digest(data, size, digest.data(), &length, EVP_sha256(), nullptr) != 1 ||
      length != digest.size()) {
    error = OpenSslError("SHA-256 failed");
    return false;
  }
  return true;
}

CryptoResult VerifyP256(const FirmwarePublicKey& key, const Sha256Digest& digest,
                        const RawSignature& signature, std::string& error) {
  const Owned<EVP_PKEY> pkey = PublicKey(key);
  if (!pkey) {
    ERR_clear_error();
    return CryptoResult::NoMatch;
  }
  Owned<unsigned char> der;
  int derLength = 0;
  Owned<EVP_PKEY_CTX> ctx(EVP_PKEY_CTX_new(pkey.get(), nullptr));
  if (!ToDer(signature, der, derLength) || !ctx || EVP_PKEY_verify_init(ctx.get()) != 1 ||
      EVP_PKEY_CTX_set_signature_md(ctx.get(), EVP_sha256()) != 1) {
    error = OpenSslError("ECDSA verification could not start");
    return CryptoResult::Failed;
  }
  const int result = EVP_PKEY_verify(ctx.get(), der.get(), static_cast<std::size_t>(derLength),
                                     digest.data(), digest.size());
  ERR_clear_error();
  // 0 is a signature that does not verify; below 0 one OpenSSL would not even read (r or s out
  // of range), which is no match either.
  return result == 1 ? CryptoResult::Match : CryptoResult::NoMatch;
}

}  // namespace dalvorn
