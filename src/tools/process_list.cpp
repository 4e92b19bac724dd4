#include "tools/process_list.h"

#include <algorithm>

#include "platform/paths.h"
#include "scan/primitives.h"
#include "tools/tool_texts.h"

namespace vx::tools {

using platform::Buttons;
using platform::Icon;

namespace {

constexpr const char* kIdleProcessText = texts::process_list::IdleProcess;

}  // namespace

bool listTextLess(const std::string& a, const std::string& b) {
    const std::u16string ua = platform::utf8ToUtf16(a);
    const std::u16string ub = platform::utf8ToUtf16(b);
    const size_t n = std::min(ua.size(), ub.size());
    for (size_t i = 0; i < n; ++i) {
        const char16_t ca = platform::foldCaseUnit(ua[i]);
        const char16_t cb = platform::foldCaseUnit(ub[i]);
        if (ca != cb) return ca < cb;
    }
    return ua.size() < ub.size();
}

void ProcessListBox::clear() {
    items.clear();
    selected = -1;
}

void ProcessListBox::add(ProcessListItem item) {
    if (!sorted) {
        items.push_back(std::move(item));
        return;
    }
    auto at = std::upper_bound(items.begin(), items.end(), item, [](const ProcessListItem& x, const ProcessListItem& y) {
        return listTextLess(x.text, y.text);
    });
    const int index = static_cast<int>(at - items.begin());
    items.insert(at, std::move(item));
    // The selection follows its line, as in a list box.
    if (selected >= index) ++selected;
}

void ProcessListBox::sort() {
    if (sorted) return;
    std::stable_sort(items.begin(), items.end(), [](const ProcessListItem& x, const ProcessListItem& y) {
        return listTextLess(x.text, y.text);
    });
    sorted = true;
    // Reordering drops the selection rather than leave it on another line.
    selected = -1;
}

std::vector<std::string> ProcessListBox::lines() const {
    std::vector<std::string> out;
    out.reserve(items.size());
    for (const auto& item : items) out.push_back(item.text);
    return out;
}

std::optional<std::string> ProcessListBox::selectedText() const {
    if (selected < 0 || selected >= static_cast<int>(items.size())) return std::nullopt;
    return items[static_cast<size_t>(selected)].text;
}

bool showsFullImagePaths(const platform::WindowsVersion& version) {
    if (version.major == 5) return version.minor <= 2;
    if (version.major == 6) return version.minor <= 1;
    return false;
}

bool listRunningProcesses(platform::Processes& processes, platform::Shell& shell,
                          std::vector<ProcessListItem>& out) {
    const std::vector<platform::ProcessEntry> snapshot = processes.snapshot();
    if (snapshot.empty()) return false;
    const bool fullPaths = showsFullImagePaths(shell.windowsVersion());
    for (const auto& entry : snapshot) {
        std::string text;
        if (entry.pid == 0) {
            text = kIdleProcessText;
        } else {
            if (fullPaths) text = processes.imagePath(entry.pid);
            if (text.empty()) text = entry.exeName;
        }
        out.push_back({std::move(text), entry.pid});
    }
    return true;
}

void refreshProcessList(platform::Platform os, ProcessListBox& box) {
    box.clear();
    std::vector<ProcessListItem> found;
    listRunningProcesses(os.processes, os.shell, found);
    for (auto& item : found) box.add(std::move(item));
    box.sort();
}

TerminateOutcome terminateSelectedProcess(scan::RunContext& ctx, ProcessListBox& box) {
    auto& dialogs = ctx.os.dialogs;
    const std::optional<std::string> text = box.selectedText();
    if (!text) {
        // With no line chosen there is nothing to end: say so and change nothing.
        dialogs.messageBox(scan::say(ctx, texts::process_list::NothingSelectedBox),
                           scan::say(ctx, texts::WarningCaption), Icon::Information, Buttons::Ok);
        return TerminateOutcome::NothingSelected;
    }

    const std::string name = platform::fileNamePart(*text);
    if (scan::killProcessByName(ctx.os.processes, name).ended) {
        dialogs.messageBox(scan::say(ctx, texts::process_list::TerminatedBox), scan::say(ctx, texts::WarningCaption),
                           Icon::Information, Buttons::Ok);
        refreshProcessList(ctx.os, box);
        return TerminateOutcome::Terminated;
    }
    dialogs.messageBox(scan::say(ctx, texts::process_list::NotTerminatedBox), scan::say(ctx, texts::HeadsUpCaption),
                       Icon::Warning, Buttons::Ok);
    return TerminateOutcome::Failed;
}

}  // namespace vx::tools
