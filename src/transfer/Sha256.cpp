#include "transfer/Sha256.h"

#include <openssl/evp.h>

#include <cstdlib>

namespace parlomax::transfer {

Sha256::Sha256() : context_(EVP_MD_CTX_new()) {
  // Without a context or the digest nothing can be vouched for: no use going on.
  if (!context_) std::abort();
  Restart();
}

Sha256::~Sha256() { EVP_MD_CTX_free(context_); }

void Sha256::Restart() {
  if (EVP_DigestInit_ex(context_, EVP_sha256(), nullptr) != 1) std::abort();
}

void Sha256::Add(std::span<const std::uint8_t> bytes) {
  if (!bytes.empty() && EVP_DigestUpdate(context_, bytes.data(), bytes.size()) != 1) std::abort();
}

void Sha256::Add(std::string_view bytes) {
  Add(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

Sha256Digest Sha256::Finish() {
  Sha256Digest digest{};
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(context_, digest.data(), &length) != 1 || length != digest.size())
    std::abort();
  Restart();
  return digest;
}

Sha256Digest Sha256Of(std::string_view bytes) {
  Sha256 hash;
  hash.Add(bytes);
  return hash.Finish();
}

std::string HexText(const Sha256Digest& digest) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text(digest.size() * 2, '0');
  for (std::size_t i = 0; i < digest.size(); ++i) {
    text[2 * i] = kDigits[digest[i] >> 4];
    text[2 * i + 1] = kDigits[digest[i] & 0xF];
  }
  return text;
}

}  // namespace parlomax::transfer
