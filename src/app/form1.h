// TForm1: the main window as a UI-neutral model. It owns every control's
// state (caption, hint, font colour, check state), the activity log, the
// language flag, the drive lists and device roots and the shared run flags,
// and it has one method per event handler. The Win32 view creates the real
// controls from controls(), hands every event to the control's slot and
// renders the state back; no behaviour lives in the view.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/form1_controls.h"
#include "app/settings.h"
#include "device/device_disinfection.h"
#include "platform/platform.h"
#include "scan/run_context.h"
#include "scan/quarantine.h"
#include "scan/run_frame.h"
#include "tools/process_list.h"

namespace vx::app {

// The instructions window: a fixed text, one at a time.
struct Tform_instrucoes {
    static const std::vector<std::string>& text();
    static constexpr const char* caption = "Instruções";
    static constexpr const char* closeCaption = " &Fechar";
    int timesShown = 0;  // each press of the instructions button brings it to the front
};

// Addresses of the maker opened by the links.
namespace links {
inline constexpr const char* WebSite = "http://www.varrex.com.br";
inline constexpr const char* WebSiteShown = "www.varrex.com.br";
inline constexpr const char* Email = "contato@varrex.com.br";
inline constexpr const char* SupportEmail = "suporte@varrex.com.br";
inline constexpr const char* SocialPage = "www.facebook.com/varrex";
inline constexpr const char* SocialPageUrl = "https://www.facebook.com/varrex";
inline constexpr const char* WebSitePage = "http://www.varrex.com.br/varrex";
}  // namespace links

inline constexpr int kVirtualKeyF11 = 122;

class TForm1 {
public:
    explicit TForm1(platform::Platform os);

    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    // --- controls, in the order they are created: containers before their content
    Form Form1;  // the window itself (named "TForm1" in the view's tables)
    PageControl PageControl1;
    TabSheet TabSheet1;
    GroupBox GroupBox4;  // the checks
    Button BitBtn3;
    Button BitBtn7;
    Label Label17;
    DriveComboBox DriveComboBox2;  // check group
    SpeedButton SpeedButton3;
    Button BitBtn9;
    GroupBox GroupBox5;  // the disinfections
    Button BitBtn2;
    Label Label1;
    DriveComboBox DriveComboBox1;  // removal group
    SpeedButton SpeedButton1;
    Button BitBtn1;
    Memo Memo1;  // the activity log
    TabSheet TabSheet2;
    GroupBox GroupBox6;
    ProcessList ListBox1;  // running processes, sorted
    Button BitBtn10;
    Button BitBtn11;
    GroupBox GroupBox8;
    Label Label20;
    Label Label22;
    Label Label21;
    Label Label23;
    Button Button4;
    GroupBox GroupBox10;
    Button BitBtn15;
    GroupBox GroupBox13;
    Button BitBtn17;
    TabSheet TabSheet3;
    GroupBox GroupBox7;
    Label Label19;
    Button BitBtn12;
    GroupBox GroupBox11;
    CheckBox CheckBox1;
    CheckBox CheckBox2;
    CheckBox CheckBox3;
    Button BitBtn16;
    TabSheet TabSheet4;
    TextList ListBox2;         // the runs kept in the quarantine, newest first
    MultiSelectList ListBox3;  // the items of the run chosen in ListBox2
    Label Label24;
    Button Button5;
    Button Button6;
    Button Button7;
    Panel Panel2;
    GroupBox GroupBox9;
    Button BitBtn13;
    Button BitBtn14;
    Panel Panel1;
    Label Label2;
    Label Label4;
    StaticText StaticText1;
    Panel Panel3;
    Label Label18;

    // Every control above, in that order.
    std::span<Control* const> controls() const { return Form1.all(); }
    // Runs the slot the control binds to the event; false when none took it.
    bool raise(Control& control, Event event, const EventArgs& args = {}) {
        return control.raise(*this, event, args);
    }

    // --- state -----------------------------------------------------------------
    scan::Language language = scan::Language::NotChosen;  // Portuguese from FormCreate on
    scan::RunFlags flags;
    std::string deviceRoot1;   // of DriveComboBox1
    std::string deviceRoot2;   // of DriveComboBox2
    std::string recoveryPath;  // the last recovery folder the device disinfection made
    scan::SaveDialogMemory SaveDialog1;
    std::vector<scan::KeptRun> keptRuns;  // the runs ListBox2 shows, in its order
    std::unique_ptr<Tform_instrucoes> form_instrucoes;  // null while no instructions window exists

    platform::Platform& os() { return os_; }
    scan::RunContext context() { return scan::RunContext{os_, Memo1, flags, language}; }
    ReportSwitches switches() const;

    // --- start-up and shutdown ---------------------------------------------------
    void FormCreate();
    void FormClose();
    // Answers whether the Windows session may end.
    bool WMQueryEndSession();

    // --- language ------------------------------------------------------------------
    void BitBtn13Click();  // Português
    void BitBtn14Click();  // English

    // --- instructions window, links and small actions --------------------------------
    // True when the key was handled (F11 only); other keys pass on unchanged.
    bool BitBtn3KeyDown(int virtualKey);
    void BitBtn3Click();
    void form_instrucoesClose();  // the instructions window closed (" &Fechar" or its close box)
    void BitBtn12Click();         // copy the program to the desktop; Esc on the options tab too
    void BitBtn16Click();         // save the settings
    void CheckBox1Click(bool checked);
    void CheckBox2Click(bool checked);
    void CheckBox3Click(bool checked);  // check a pen drive as soon as it is inserted
    void TabSheet3Show();
    void Label19Click();
    void Label2DblClick();
    void Label4Click();
    void Label18Click();
    void Panel3Click();
    // Hover on a link label: navy while the mouse is over it, its resting colour after.
    void Label2MouseEnter() { hover(Label2, true); }
    void Label2MouseMove() { hover(Label2, true); }
    void Label2MouseLeave() { hover(Label2, false); }
    void Label4MouseEnter() { hover(Label4, true); }
    void Label4MouseMove() { hover(Label4, true); }
    void Label4MouseLeave() { hover(Label4, false); }
    void Label18MouseEnter() { hover(Label18, true); }
    void Label18MouseMove() { hover(Label18, true); }
    void Label18MouseLeave() { hover(Label18, false); }
    void Label19MouseEnter() { hover(Label19, true); }
    void Label19MouseMove() { hover(Label19, true); }
    void Label19MouseLeave() { hover(Label19, false); }

    // --- device check and disinfection ------------------------------------------------
    void BitBtn9Click();  // " Verificar &Dispositivo"
    void BitBtn1Click();  // " Desin&fectar Dispositivo"

    // --- computer check and disinfection ----------------------------------------------
    void BitBtn7Click();  // " Verificar &Computador"
    void BitBtn2Click();  // " Desinfectar Com&putador"

    // --- maintenance tools ---------------------------------------------------------------
    void TabSheet2Show();  // temporary folders and their sizes, process list
    void BitBtn10Click();  // "Listar Processos"
    void BitBtn11Click();  // "Finalizar Processo"
    void ListBox1Select(int index) { ListBox1.selected = index; }
    void Button4Click();   // clean the temporary folders
    void BitBtn15Click();  // repair icons
    void BitBtn17Click();  // system report
    void Label20Click();
    void Label21Click();
    void Label20MouseEnter() { hover(Label20, true); }
    void Label20MouseMove() { hover(Label20, true); }
    void Label20MouseLeave() { hover(Label20, false); }
    void Label21MouseEnter() { hover(Label21, true); }
    void Label21MouseMove() { hover(Label21, true); }
    void Label21MouseLeave() { hover(Label21, false); }

    // --- quarantine -----------------------------------------------------------------------
    void TabSheet4Show();  // the runs kept, the chosen run's items, the store's size
    void ListBox2Select(int index) { ListBox2.selected = index; }
    void ListBox2Click();  // a run chosen: its items fill ListBox3
    void ListBox3Select(std::vector<int> indexes);
    void Button5Click();  // restore the selected items of the chosen run
    void Button6Click();  // restore every item of every run
    void Button7Click();  // delete the chosen run for good, after a question

    // --- drive lists -------------------------------------------------------------------
    void SpeedButton1Click();  // detect drives, removal group
    void SpeedButton3Click();  // detect drives, check group
    // Windows announced volumes that arrived or left (bit n: drive 'A' + n).
    // Both lists are rebuilt as the detect-drives buttons rebuild them; a
    // removable drive that has just arrived is chosen in both (with the
    // device roots), otherwise each list keeps the drive it showed while
    // that drive is still there.
    //
    // With CheckBox3 ticked, a removable drive that was not listed before and
    // is now chosen makes the insertion check due: the view then calls
    // DeviceInsertedCheck once the news has been followed and no other
    // handler runs.
    void WMDeviceChange(uint32_t arrivedMask, uint32_t removedMask);
    bool insertionCheckDue() const { return insertionCheckDue_; }
    // The device check of the drive just inserted, as if its button were
    // pressed; nothing when no check is due. Runs once per arrival.
    void DeviceInsertedCheck();

    // --- one run at a time on the machine ----------------------------------------------
    // The four runs first take the machine's run lock (Shell::tryLockRuns),
    // so that a window's run and a command line's never run beside each
    // other; a run that cannot have it tells the user and does nothing. Off
    // until the program asks for it (a command-line run holds the lock
    // itself for its whole length).
    void guardRunsWithLock(bool on) { guardRuns_ = on; }

private:
    void hover(Label& label, bool inside);
    void switchLanguage(scan::Language required, scan::Language next);
    void setComputerButtonCaptions(bool portuguese);
    void writeTips(bool portuguese);
    void rebuildDriveList(DriveList& list);
    void pruneDriveList(DriveList& list);
    void followDevices(DriveList& list, std::string& deviceRoot, uint32_t arrivedMask, uint32_t removedMask);
    static std::string deviceRootOf(const DriveList& list);
    // Runs `run` holding the run lock when runs are guarded; when the lock
    // cannot be had, shows the box saying another run is in progress instead.
    template <typename Run>
    void guarded(Run run);
    void showQuarantineTexts();

    std::optional<uint64_t> quarantineBytes_;  // the store's size when the tab was last shown
    bool machineStoreHidden_ = false;          // the machine's store cannot be read by this process
    bool insertionCheckDue_ = false;
    bool guardRuns_ = false;

    platform::Platform os_;
};

}  // namespace vx::app
