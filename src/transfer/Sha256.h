#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

struct evp_md_ctx_st;

namespace parlomax::transfer {

using Sha256Digest = std::array<std::uint8_t, 32>;

// SHA-256 through OpenSSL's libcrypto, which uses the processor's SHA
// instructions where it has them: several times faster than a portable
// implementation, so that hashing keeps pace with a copy or a disk.
class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void Restart();
  void Add(std::span<const std::uint8_t> bytes);
  void Add(std::string_view bytes);
  // The digest of everything added since the last restart; restarts.
  Sha256Digest Finish();

 private:
  evp_md_ctx_st* context_ = nullptr;
};

Sha256Digest Sha256Of(std::string_view bytes);
// Lower-case hexadecimal, as sha256sum prints it.
std::string HexText(const Sha256Digest& digest);

}  // namespace parlomax::transfer
