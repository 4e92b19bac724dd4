// Builds a run's folder in the quarantine store by hand, in the store's own
// format: the manifest's version line, run line and records, and the pack
// file holding the kept bytes, masked.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/memory/memory_machine.h"
#include "scan/quarantine.h"

namespace vx::test {

inline const std::string kQuarantineStore = "C:\\Users\\Usuario\\AppData\\Local\\varrex\\quarantine";

struct KeptRunBuilder {
    memory::Machine& machine;
    std::string folder;  // with its final "\"
    scan::KeptRunHeader header;
    std::vector<std::string> records;
    std::string pack;  // the masked bytes of the run's pack file

    KeptRunBuilder(memory::Machine& m, const std::string& name, scan::KeptRunHeader h,
                   const std::string& store = kQuarantineStore)
        : machine(m), folder(store + "\\" + name + "\\"), header(std::move(h)) {
        if (!header.maskKey) header.maskKey = scan::MaskKey{7, 1, 9, 3, 8, 2, 6, 4, 5, 0, 11, 13, 17, 19, 23, 29};
    }

    static scan::KeptRunHeader computerRun(std::string date = "07/12/2026", std::string time = "09:15:42") {
        return {false, "", std::move(date), std::move(time), std::nullopt};
    }
    static scan::KeptRunHeader deviceRun(std::string root, std::string date = "07/12/2026",
                                         std::string time = "09:15:42") {
        return {true, std::move(root), std::move(date), std::move(time), std::nullopt};
    }

    // A file or folder item as the disinfection records it.
    static scan::KeptItem entry(scan::KeptKind kind, const std::string& path, uint32_t attributes,
                                std::optional<uint32_t> serial) {
        scan::KeptItem item;
        item.kind = kind;
        item.path = path;
        item.volumeSerial = serial;
        item.attributes = attributes;
        return item;
    }

    KeptRunBuilder& file(const std::string& path, const std::string& content, uint32_t attributes = 0x20,
                         std::optional<uint32_t> serial = std::nullopt) {
        scan::KeptItem item = entry(scan::KeptKind::File, path, attributes, serial);
        item.content = scan::kPackName;
        item.offset = pack.size();
        item.size = content.size();
        auto sha = machine.platform().crypto.sha256();
        sha->update(reinterpret_cast<const uint8_t*>(content.data()), content.size());
        item.sha256 = platform::hexDigest(sha->finish());
        std::string stored = content;
        scan::transformContent(reinterpret_cast<uint8_t*>(stored.data()), stored.size(), item.offset, header.maskKey);
        pack += stored;
        return add(item);
    }
    KeptRunBuilder& folderItem(const std::string& path, uint32_t attributes = 0x10,
                               std::optional<uint32_t> serial = std::nullopt) {
        return add(entry(scan::KeptKind::Folder, path, attributes, serial));
    }
    KeptRunBuilder& value(platform::RootKey root, const std::string& key, const std::string& name,
                          const platform::RegValue& v) {
        scan::KeptItem item;
        item.kind = scan::KeptKind::Value;
        item.root = root;
        item.keyPath = key;
        item.value = {name, v};
        return add(item);
    }
    KeptRunBuilder& add(scan::KeptItem item) {
        item.id = static_cast<int>(records.size()) + 1;
        records.push_back(scan::formatRecord(machine.platform().crypto, item));
        return *this;
    }

    // Writes the manifest; the run's folder as readKeptRun wants it.
    std::string write() {
        std::string text = std::string(scan::kQuarantineVersionLine) + "\r\n" +
                           scan::formatRunLine(machine.platform().crypto, header) + "\r\n";
        for (const std::string& r : records) text += r + "\r\n";
        machine.addFile(folder + scan::kManifestName, text);
        machine.addFile(folder + scan::kPackName, pack);
        return folder;
    }
};

}  // namespace vx::test
