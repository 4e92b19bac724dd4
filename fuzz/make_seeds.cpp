// Writes the seed manifests of the manifest fuzzer into the folder given as
// its argument: real stores of both versions, written with the record
// writer (version 1 lines are sealed here, as that version's writer sealed
// them), with CR LF line ends as the platform writes them.
//   build/fuzz/fuzz/vx_fuzz_seeds fuzz/corpus/manifest
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "platform/memory/memory_machine.h"
#include "scan/kept_records.h"

namespace {

using namespace vx;
using scan::KeptItem;
using scan::KeptKind;

platform::Crypto& crypto() {
    static memory::Machine machine{memory::Machine::Preset::Empty};
    return machine.crypto();
}

std::string sealed(const std::string& text) {
    auto hash = crypto().sha256();
    hash->update(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    return text + "\t" + platform::hexDigest(hash->finish()).substr(0, 16);
}

const std::string kSha = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";

KeptItem fileItem(int id, std::string content, uint64_t offset, uint64_t size, std::string path) {
    KeptItem item;
    item.kind = KeptKind::File;
    item.id = id;
    item.content = std::move(content);
    item.offset = offset;
    item.size = size;
    item.path = std::move(path);
    item.attributes = 0x27;
    item.sha256 = kSha;
    return item;
}

KeptItem folderItem(int id, std::string path, uint32_t attributes) {
    KeptItem item;
    item.kind = KeptKind::Folder;
    item.id = id;
    item.path = std::move(path);
    item.attributes = attributes;
    return item;
}

KeptItem valueItem(int id, platform::RootKey root, std::string keyPath, std::string name, platform::RegValue value) {
    KeptItem item;
    item.kind = KeptKind::Value;
    item.id = id;
    item.root = root;
    item.keyPath = std::move(keyPath);
    item.value = {std::move(name), std::move(value)};
    return item;
}

scan::MaskKey key() {
    scan::MaskKey k{};
    for (size_t i = 0; i < k.size(); ++i) k[i] = static_cast<uint8_t>(i * 37 + 11);
    return k;
}

bool write(const std::string& folder, const char* name, const std::vector<std::string>& lines, bool bom = false) {
    std::ofstream out(folder + "/" + name, std::ios::binary);
    if (bom) out << "\xEF\xBB\xBF";
    for (const std::string& line : lines) out << line << "\r\n";
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    auto& c = crypto();
    bool ok = true;

    // A device run: files packed in one content file and one of their own,
    // folders with and without a serial, names that need escapes, a restore.
    {
        KeptItem a = fileItem(1, "pack.vxp", 0, 1234, "E:\\autorun.inf");
        a.volumeSerial = 0x1A2B3C4D;
        a.fileSystem = "FAT32";
        a.label = "PEN 100%\tDRIVE";
        KeptItem b = fileItem(2, "pack.vxp", 1234, 0, "E:\\Fotos\\vazio.txt");
        b.volumeSerial = a.volumeSerial;
        KeptItem c3 = fileItem(3, "000003.vxq", 0, 99, "E:\\Fotos\\f\xC3\xA9rias\\x.lnk");
        KeptItem d = folderItem(4, "E:\\Fotos", 0x16);
        d.volumeSerial = a.volumeSerial;
        d.fileSystem = "exFAT";
        ok &= write(folder, "v2-device.txt",
                    {scan::kQuarantineVersionLine,
                     scan::formatRunLine(c, {true, "E:\\", "07/12/2026", "09:15:42", key()}),
                     scan::formatRecord(c, a), scan::formatRecord(c, b), scan::formatRecord(c, c3),
                     scan::formatRecord(c, d), scan::formatRecord(c, folderItem(5, "E:\\x\\y z", 0x10)),
                     scan::formatGoneRecord(c, 2)});
    }
    // A computer run: registry values and a whole key, a value whose name
    // holds every character that needs an escape, the default value.
    {
        KeptItem key5;
        key5.kind = KeptKind::Key;
        key5.id = 5;
        key5.root = platform::RootKey::LocalMachine;
        key5.keyPath = "Software\\Worm\\Settings";
        key5.keyValues = {{"", platform::RegValue::text("default")},
                          {"%tab\there\r\n", platform::RegValue::dword(1)},
                          {"multi", platform::RegValue{platform::regtype::MultiSz, {'a', 0, 0, 0, 0, 0}}}};
        ok &= write(folder, "v2-computer.txt",
                    {scan::kQuarantineVersionLine, scan::formatRunLine(c, {false, "", "7/12/26", "9:15 AM", key()}),
                     scan::formatRecord(c, valueItem(1, platform::RootKey::CurrentUser,
                                                     "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "wscript",
                                                     platform::RegValue::text("wscript.exe \"C:\\x.vbs\"", 2))),
                     scan::formatRecord(c, valueItem(2, platform::RootKey::LocalMachine,
                                                     "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "a%b\tc",
                                                     platform::RegValue::binary({0xde, 0xad, 0xbe, 0xef}))),
                     scan::formatRecord(c, valueItem(3, platform::RootKey::CurrentUser, "Software\\Classes\\.lnk", "",
                                                     platform::RegValue::text("lnkfile"))),
                     scan::formatRecord(c, fileItem(4, "000001.vxq", 0, 4096,
                                                    "C:\\Users\\Usuario\\AppData\\Roaming\\x\\x.exe")),
                     scan::formatRecord(c, key5), scan::formatGoneRecord(c, 1)},
                    true);
    }
    // Version 1 stores, as the earlier writer left them.
    ok &= write(folder, "v1-device.txt",
                {scan::kQuarantineVersion1Line, sealed("run\tdevice\tE:\\\t07/12/2026\t09:15:42"),
                 sealed("file\t1\t1\tE:\\autorun.inf\t1a2b3c4d\t00000027\t52\t" + kSha),
                 sealed("file\t2\t2\tE:\\Fotos 100%25\\x.lnk\t1a2b3c4d\t00000020\t0\t" + kSha),
                 sealed("folder\t3\tE:\\Fotos 100%25\t1a2b3c4d\t00000016"), sealed("folder\t4\tE:\\a\t-\t10"),
                 sealed("gone\t1")});
    ok &= write(folder, "v1-computer.txt",
                {scan::kQuarantineVersion1Line, sealed("run\tcomputer\t\t07/12/2026\t09:15:42"),
                 sealed("value\t1\tHKCU\tSoftware\\Microsoft\\Windows\\CurrentVersion\\Run\tn%09%0D%0A%25\t1\t"
                        "7700730063007200690070007400000000"),
                 sealed("key\t2\tHKLM\tSoftware\\Worm\t2\t\t4\t01000000\tx\t3\tff"),
                 sealed("file\t3\t1\tC:\\Users\\Usuario\\AppData\\Roaming\\x.exe\t-\t00000020\t7\t" + kSha)});
    // A store torn by a crash and appended to afterwards.
    {
        const std::string torn = scan::formatRecord(c, fileItem(2, "000002.vxq", 0, 10, "E:\\b.exe"));
        ok &= write(folder, "v2-torn.txt",
                    {scan::kQuarantineVersionLine, scan::formatRunLine(c, {true, "F:\\", "d", "t", key()}),
                     scan::formatRecord(c, fileItem(1, "000001.vxq", 0, 10, "F:\\a.exe")), torn.substr(0, 40),
                     scan::formatRecord(c, fileItem(3, "000003.vxq", 0, 10, "F:\\c.exe")),
                     scan::formatGoneRecord(c, 3)});
    }
    if (!ok) std::fprintf(stderr, "%s: could not write the seeds\n", argv[0]);
    return ok ? 0 : 1;
}
