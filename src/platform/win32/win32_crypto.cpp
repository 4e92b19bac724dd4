// SHA-256 through CryptoAPI (advapi32). CryptoAPI rather than CNG, which
// Windows XP lacks; PROV_RSA_AES offers SHA-256 there from Service Pack 3.
#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
#include <atomic>

#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_status.h"
#include "platform/win32/win32_support.h"

namespace vx::win32 {

namespace {

// Should the provider fail in the middle of a computation, the digest given
// is one no other computation gives (a marker and a running number), so a
// failed computation never verifies against anything.
platform::Sha256Digest failedDigest() {
    static std::atomic<uint32_t> failures{0};
    platform::Sha256Digest d;
    d.fill(0xFA);
    uint32_t n = ++failures;
    for (int i = 0; i < 4; ++i) d[28 + i] = static_cast<uint8_t>(n >> (24 - 8 * i));
    return d;
}

class CryptoApiSha256 final : public platform::Sha256 {
public:
    explicit CryptoApiSha256(HCRYPTHASH hash) : hash_(hash) {}
    ~CryptoApiSha256() override {
        if (hash_) ::CryptDestroyHash(hash_);
    }
    CryptoApiSha256(const CryptoApiSha256&) = delete;
    CryptoApiSha256& operator=(const CryptoApiSha256&) = delete;

    void update(const uint8_t* data, size_t size) override {
        while (ok_ && size > 0) {
            DWORD piece = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
            if (!::CryptHashData(hash_, data, piece, 0)) ok_ = false;
            data += piece;
            size -= piece;
        }
    }

    platform::Sha256Digest finish() override {
        platform::Sha256Digest digest{};
        DWORD length = static_cast<DWORD>(digest.size());
        if (!ok_ || !hash_ || !::CryptGetHashParam(hash_, HP_HASHVAL, digest.data(), &length, 0) ||
            length != digest.size()) {
            ok_ = false;
            return failedDigest();
        }
        ok_ = false;  // spent
        return digest;
    }

private:
    HCRYPTHASH hash_;
    bool ok_ = true;
};

}  // namespace

Win32Crypto::~Win32Crypto() {
    if (provider_) ::CryptReleaseContext(static_cast<HCRYPTPROV>(provider_), 0);
}

namespace {

// Acquires the provider on first use; false when the system offers none.
bool acquire(uintptr_t& provider) {
    if (provider) return true;
    HCRYPTPROV acquired = 0;
    if (!::CryptAcquireContextW(&acquired, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) return false;
    provider = static_cast<uintptr_t>(acquired);
    return true;
}

}  // namespace

platform::Result<std::unique_ptr<platform::Sha256>> Win32Crypto::sha256() {
    if (!acquire(provider_)) return lastError();
    HCRYPTHASH hash = 0;
    if (!::CryptCreateHash(static_cast<HCRYPTPROV>(provider_), CALG_SHA_256, 0, 0, &hash)) return lastError();
    return std::make_unique<CryptoApiSha256>(hash);
}

platform::Status Win32Crypto::randomBytes(uint8_t* buffer, size_t size) {
    if (size == 0) return {};
    if (!acquire(provider_)) return lastError();
    while (size > 0) {
        DWORD piece = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
        if (!::CryptGenRandom(static_cast<HCRYPTPROV>(provider_), piece, buffer)) return lastError();
        buffer += piece;
        size -= piece;
    }
    return {};
}

}  // namespace vx::win32
