// Registry: keys under HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE, in the
// registry view of the running program (no WOW64 redirection flags).
#include <vector>

#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_status.h"
#include "platform/win32/win32_support.h"

namespace vx::win32 {

using platform::Result;
using platform::Status;
using platform::RegValue;

namespace {

HKEY rootHandle(platform::RootKey root) {
    return root == platform::RootKey::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

std::wstring keyPath(const std::string& path) {
    size_t b = path.find_first_not_of('\\');
    if (b == std::string::npos) return {};
    size_t e = path.find_last_not_of('\\');
    return widen(path.substr(b, e - b + 1));
}

// Names of the subkeys of an open key, in the registry's order.
std::vector<std::wstring> subkeysOf(HKEY key) {
    std::vector<std::wstring> names;
    std::vector<wchar_t> buf(256);  // key names are at most 255 characters
    for (DWORD i = 0;; ++i) {
        DWORD len = static_cast<DWORD>(buf.size());
        LONG rc = ::RegEnumKeyExW(key, i, buf.data(), &len, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_MORE_DATA && buf.size() < 65536) {
            buf.resize(buf.size() * 4);
            --i;
            continue;
        }
        if (rc != ERROR_SUCCESS) break;
        names.emplace_back(buf.data(), len);
    }
    return names;
}

class Win32RegKey final : public platform::RegKey {
public:
    explicit Win32RegKey(RegistryKeyHandle key) : key_(std::move(key)) {}

    std::vector<std::string> valueNames() override {
        std::vector<std::string> names;
        std::vector<wchar_t> buf(256);
        for (DWORD i = 0;; ++i) {
            DWORD len = static_cast<DWORD>(buf.size());
            LONG rc = ::RegEnumValueW(key_.get(), i, buf.data(), &len, nullptr, nullptr, nullptr, nullptr);
            if (rc == ERROR_MORE_DATA && buf.size() < 65536) {  // value names reach 16,383 characters
                buf.resize(buf.size() * 4);
                --i;
                continue;
            }
            if (rc != ERROR_SUCCESS) break;
            names.push_back(narrow(buf.data(), len));
        }
        return names;
    }

    std::vector<std::string> subkeyNames() override {
        std::vector<std::string> names;
        for (const std::wstring& n : subkeysOf(key_.get())) names.push_back(narrow(n));
        return names;
    }

    bool valueExists(const std::string& name) override {
        return ::RegQueryValueExW(key_.get(), widen(name).c_str(), nullptr, nullptr, nullptr, nullptr) ==
               ERROR_SUCCESS;
    }

    Result<RegValue> readValue(const std::string& name) override {
        std::wstring w = widen(name);
        DWORD type = 0, size = 0;
        LONG rc = ::RegQueryValueExW(key_.get(), w.c_str(), nullptr, &type, nullptr, &size);
        if (rc != ERROR_SUCCESS) return statusOf(rc);
        // The value may grow between the two calls; ask again until it fits.
        for (int attempt = 0; attempt < 8; ++attempt) {
            RegValue v;
            v.data.resize(size);
            DWORD got = size;
            rc = ::RegQueryValueExW(key_.get(), w.c_str(), nullptr, &type, v.data.empty() ? nullptr : v.data.data(),
                                    &got);
            if (rc == ERROR_SUCCESS) {
                v.type = type;
                v.data.resize(got);
                return v;
            }
            if (rc != ERROR_MORE_DATA) return statusOf(rc);
            size = got > size ? got : size * 2 + 2;
        }
        return statusOf(rc);
    }

    Status writeValue(const std::string& name, const RegValue& value) override {
        return statusOf(::RegSetValueExW(key_.get(), widen(name).c_str(), 0, value.type,
                                         value.data.empty() ? nullptr : value.data.data(),
                                         static_cast<DWORD>(value.data.size())));
    }

    Status deleteValue(const std::string& name) override {
        return statusOf(::RegDeleteValueW(key_.get(), widen(name).c_str()));
    }

    bool subkeyExists(const std::string& name) override {
        if (name.empty()) return false;  // an empty name would open this key itself
        RegistryKeyHandle sub;
        LONG rc = ::RegOpenKeyExW(key_.get(), widen(name).c_str(), 0, KEY_READ, sub.out());
        // A key we may not read still exists.
        return rc == ERROR_SUCCESS || rc == ERROR_ACCESS_DENIED;
    }

private:
    RegistryKeyHandle key_;
};

}  // namespace

Result<std::unique_ptr<platform::RegKey>> Win32Registry::open(platform::RootKey root, const std::string& path,
                                                              platform::RegAccess access) {
    RegistryKeyHandle key;
    REGSAM sam = access == platform::RegAccess::Full ? KEY_ALL_ACCESS : KEY_READ;
    LONG rc = ::RegOpenKeyExW(rootHandle(root), keyPath(path).c_str(), 0, sam, key.out());
    if (rc != ERROR_SUCCESS) return statusOf(rc);
    return std::make_unique<Win32RegKey>(std::move(key));
}

Result<std::unique_ptr<platform::RegKey>> Win32Registry::create(platform::RootKey root, const std::string& path) {
    RegistryKeyHandle key;
    LONG rc = ::RegCreateKeyExW(rootHandle(root), keyPath(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                KEY_ALL_ACCESS, nullptr, key.out(), nullptr);
    if (rc != ERROR_SUCCESS) return statusOf(rc);
    return std::make_unique<Win32RegKey>(std::move(key));
}

Status Win32Registry::deleteTree(platform::RootKey root, const std::string& path) {
    const std::wstring target = keyPath(path);
    // An empty path names the whole root; that is never deleted.
    if (target.empty()) return failure(ERROR_INVALID_PARAMETER);

    // Depth-first with an explicit stack: each frame holds an open key, the
    // names of its subkeys taken when it was opened and the next one to visit.
    // A key is deleted once all of its subkeys have been handled.
    struct Frame {
        RegistryKeyHandle key;
        std::wstring name;  // name within the parent frame's key
        std::vector<std::wstring> children;
        size_t next = 0;
    };
    std::vector<Frame> stack;
    {
        Frame top;
        LONG rc = ::RegOpenKeyExW(rootHandle(root), target.c_str(), 0, KEY_READ, top.key.out());
        if (rc != ERROR_SUCCESS) return statusOf(rc);
        top.children = subkeysOf(top.key.get());
        stack.push_back(std::move(top));
    }
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (f.next < f.children.size()) {
            std::wstring name = f.children[f.next++];
            Frame child;
            if (::RegOpenKeyExW(f.key.get(), name.c_str(), 0, KEY_READ, child.key.out()) == ERROR_SUCCESS) {
                child.name = std::move(name);
                child.children = subkeysOf(child.key.get());
                stack.push_back(std::move(child));  // `f` is not used after this
            } else {
                // Unreadable, but perhaps empty and deletable all the same.
                ::RegDeleteKeyW(f.key.get(), name.c_str());
            }
            continue;
        }
        std::wstring name = std::move(f.name);
        stack.pop_back();  // closes the key before it is deleted
        if (!stack.empty()) ::RegDeleteKeyW(stack.back().key.get(), name.c_str());
    }
    return statusOf(::RegDeleteKeyW(rootHandle(root), target.c_str()));
}

}  // namespace vx::win32
