// The Quarantine tab's work: the runs kept in the store, the restore of their
// items and their deletion for good.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scan/quarantine.h"
#include "scan/run_context.h"

namespace vx::tools {

// Every run kept in the store, newest first (by the date and time its
// folder's name, the run's date-time stamp, gives in the user's formats). A run folder whose manifest cannot be read at all
// is left out, with one line in the activity log
// ("[VX] - Não foi possível ler " + folder / "[VX] - Could not read " + folder).
// With administrator rights the machine's store is listed (once its folders
// pass the check), then the per-user store, whose runs are shown as not
// restorable here.
std::vector<scan::KeptRun> listKeptRuns(scan::RunContext& ctx);

// True when the process has no administrator rights and the machine's store
// is there: its runs cannot be read, and one line of the runs list
// (machineStoreNote, in the current language) stands for them.
bool machineStoreHidden(scan::RunContext& ctx);
std::string machineStoreNote(scan::RunContext& ctx);

// Bytes the whole store takes on disk.
uint64_t quarantineStoreBytes(platform::FileSystem& fs, platform::Shell& shell);

// One line of the runs list: "07/12/2026 09:15:42 - Dispositivo E:\ - 12 itens - 1,50 KB"
// (English "Device E:\", "Computador"/"Computer", "items").
std::string runListLine(scan::RunContext& ctx, const scan::KeptRun& run);
// One line of the items list: kind, original place, size, and
// "danificado"/"damaged" for an item that cannot be restored, or why a run
// kept without administrator rights is not restored here.
std::string itemListLine(scan::RunContext& ctx, const scan::KeptRun& run, const scan::KeptItem& item);

struct RestoreCount {
    int restored = 0;
    int failed = 0;
};

// Restores the items of `run` at `indexes` (into run.items; an empty list
// restores nothing), folders first. A file goes back to its path with its
// attributes, or beside it as "name (restaurado).ext" / "name (restored).ext"
// when something stands there; nothing is ever overwritten, and every folder
// on the way is opened from the drive's root relative to its parent's handle,
// so nothing is written through a junction or link. A folder is recreated as
// a tree. A registry value is recreated with its type and data, only in a key
// the disinfections delete values from, unless a value of that name exists.
// An item of a removable drive goes only to a removable drive whose volume
// serial, file system and label match, whatever its letter; when none is
// there, a box asks to insert it. Trust follows the writer: with
// administrator rights only runs of the machine's store are restored,
// without them only runs of the per-user store. One log line per item ("[VX] > Restaurado: " + place /
// "[VX] > Restored: " + place, or "[VX] - Não foi possível restaurar " +
// place + ": " + reason / "[VX] - Could not restore " + place + ": " +
// reason). Restored items leave the store; a run with nothing left is
// removed. Damaged items are never restored.
RestoreCount restoreItems(scan::RunContext& ctx, const scan::KeptRun& run, const std::vector<size_t>& indexes);

// The one box that ends a restore: "Itens restaurados: N" (and
// "\rNão restaurados: M" when some failed), caption "Resultado" / "Outcome".
void showRestoreCount(scan::RunContext& ctx, const RestoreCount& count);

// Deletes the run's folder and everything in it. True when it is gone.
bool deleteRunForGood(scan::RunContext& ctx, const scan::KeptRun& run);

}  // namespace vx::tools
