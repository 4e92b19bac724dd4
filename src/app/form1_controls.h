// The controls of the main window, one type per kind of control. TForm1
// declares each of its controls as a member of its kind, and each kind
// carries the event slots it can raise on screen, bound to member functions
// of TForm1: a misspelt control or handler fails to compile, and a slot a
// kind cannot raise does not exist.
//
// The view walks TForm1::controls() to create the real controls, reads what
// each one needs to be drawn right from the control itself (never from its
// name), and hands every event to Control::raise, which calls the slot.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "scan/activity_log.h"
#include "tools/process_list.h"

namespace vx::app {

class TForm1;
class Control;

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

namespace colors {
inline constexpr Rgb Black{0, 0, 0};
inline constexpr Rgb Grey{128, 128, 128};
inline constexpr Rgb Navy{0, 0, 128};
inline constexpr Rgb Teal{0, 128, 128};
inline constexpr Rgb Maroon{128, 0, 0};
inline constexpr Rgb Green{0, 128, 0};
}  // namespace colors

enum class ControlKind {
    Form,
    PageControl,
    TabSheet,
    GroupBox,
    Panel,
    Button,       // push button; a carriage return in the caption splits it over two lines
    SpeedButton,  // flat picture button
    Label,
    StaticText,
    CheckBox,
    Memo,
    ListBox,
    DriveComboBox,
};

// What the view reports of a control.
enum class Event {
    Click,        // clicked (a check box: the state the click asks for is the opposite of the one held)
    DoubleClick,  // double-clicked
    PageShow,     // a tab page became the visible one
    MouseEnter,   // the mouse came over the control
    MouseMove,    // the mouse moved over it
    MouseLeave,   // the mouse left it
    Select,       // the lines chosen in a list changed
    KeyDown,      // a key went down while the control had the focus
};

// What an event carries besides its kind.
struct EventArgs {
    std::vector<int> selection = {};  // Select: the lines now chosen, ascending (none: empty)
    int key = 0;                 // KeyDown: the virtual key
};

using Handler = void (TForm1::*)();
using KeyHandler = bool (TForm1::*)(int virtualKey);          // true when it took the key
using CheckHandler = void (TForm1::*)(bool checked);          // the state a click asks for
using IndexHandler = void (TForm1::*)(int index);             // the line chosen; -1 for none
using IndexesHandler = void (TForm1::*)(std::vector<int> indexes);  // the lines chosen

// What every control is given when the form is built.
struct ControlInit {
    std::string_view name;     // the name the view's tables know it by
    Control* parent;           // its container; null for the form itself
    std::string caption = {};  // as the window is created (Portuguese)
    std::string hint = {};
    Rgb font = colors::Black;
};

class Control {
public:
    Control(ControlKind kind, ControlInit init);
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    const std::string_view name;
    Control* const parent;
    const ControlKind kind;
    std::string caption;
    std::string hint;
    Rgb font;

    // Whether a slot is bound to the event: the view hands on only those.
    virtual bool binds(Event) const { return false; }
    // Calls the slot bound to the event; false when no slot took it (a key
    // that is not handled goes on to the control unchanged).
    virtual bool raise(TForm1& form, Event event, const EventArgs& args);

protected:
    // Calls `handler` when it is bound; true when it was.
    static bool call(TForm1& form, Handler handler);
};

// The form itself: the root of every control, and the list of all of them
// in the order they were built (containers before what they hold), which is
// the order the view creates them in.
class Form : public Control {
public:
    explicit Form(ControlInit init);
    std::span<Control* const> all() const { return all_; }

private:
    friend class Control;
    std::vector<Control*> all_;
};

class PageControl : public Control {
public:
    explicit PageControl(ControlInit init) : Control(ControlKind::PageControl, std::move(init)) {}
};

class GroupBox : public Control {
public:
    explicit GroupBox(ControlInit init) : Control(ControlKind::GroupBox, std::move(init)) {}
};

struct TabSheetSlots {
    Handler onShow = nullptr;
};

class TabSheet : public Control {
public:
    explicit TabSheet(ControlInit init, TabSheetSlots slots = {})
        : Control(ControlKind::TabSheet, std::move(init)), onShow(slots.onShow) {}
    const Handler onShow;
    bool binds(Event event) const override;
    bool raise(TForm1& form, Event event, const EventArgs& args) override;
};

struct ClickSlots {
    Handler onClick = nullptr;
};

// A kind whose only event is a click (a panel, a flat speed button); the
// view creates and draws each kind its own way.
template <ControlKind K>
class ClickControl : public Control {
public:
    explicit ClickControl(ControlInit init, ClickSlots slots = {})
        : Control(K, std::move(init)), onClick(slots.onClick) {}
    const Handler onClick;
    bool binds(Event event) const override { return event == Event::Click && onClick != nullptr; }
    bool raise(TForm1& form, Event event, const EventArgs&) override {
        return event == Event::Click && call(form, onClick);
    }
};

using Panel = ClickControl<ControlKind::Panel>;
using SpeedButton = ClickControl<ControlKind::SpeedButton>;

struct ButtonSlots {
    Handler onClick = nullptr;
    KeyHandler onKeyDown = nullptr;  // true when it took the key
    bool cancel = false;             // Esc presses it while it is on screen
};

class Button : public Control {
public:
    explicit Button(ControlInit init, ButtonSlots slots = {})
        : Control(ControlKind::Button, std::move(init)),
          onClick(slots.onClick),
          onKeyDown(slots.onKeyDown),
          cancel(slots.cancel) {}
    const Handler onClick;
    const KeyHandler onKeyDown;
    const bool cancel;
    bool binds(Event event) const override;
    bool raise(TForm1& form, Event event, const EventArgs& args) override;
};


// How a label shortens a caption too long for it.
enum class Ellipsis {
    End,   // the end gives way to "..."
    Path,  // the middle of a path gives way, so its last part stays in sight
};

struct LabelSlots {
    Handler onClick = nullptr;
    Handler onDblClick = nullptr;
    Handler onMouseEnter = nullptr;
    Handler onMouseMove = nullptr;
    Handler onMouseLeave = nullptr;
    bool link = false;  // a link: the hand pointer over it
    Ellipsis ellipsis = Ellipsis::End;
};

class Label : public Control {
public:
    explicit Label(ControlInit init, LabelSlots slots = {})
        : Control(ControlKind::Label, std::move(init)),
          onClick(slots.onClick),
          onDblClick(slots.onDblClick),
          onMouseEnter(slots.onMouseEnter),
          onMouseMove(slots.onMouseMove),
          onMouseLeave(slots.onMouseLeave),
          link(slots.link),
          ellipsis(slots.ellipsis),
          restingFont(font) {}
    const Handler onClick, onDblClick, onMouseEnter, onMouseMove, onMouseLeave;
    const bool link;
    const Ellipsis ellipsis;
    const Rgb restingFont;  // the font colour while the mouse is not over it
    bool binds(Event event) const override;
    bool raise(TForm1& form, Event event, const EventArgs& args) override;
};

// A centred text; the window's version box.
class StaticText : public Control {
public:
    explicit StaticText(ControlInit init) : Control(ControlKind::StaticText, std::move(init)) {}
};

struct CheckBoxSlots {
    CheckHandler onClick = nullptr;  // given the state the click asks for
};

class CheckBox : public Control {
public:
    explicit CheckBox(ControlInit init, CheckBoxSlots slots = {})
        : Control(ControlKind::CheckBox, std::move(init)), onClick(slots.onClick) {}
    bool checked = false;
    const CheckHandler onClick;
    bool binds(Event event) const override;
    bool raise(TForm1& form, Event event, const EventArgs& args) override;
};

// The activity log.
class Memo : public Control, public scan::ActivityLog {
public:
    explicit Memo(ControlInit init) : Control(ControlKind::Memo, std::move(init)) {}
};

// A drive drop-down list: entries such as "E:" or "C: [WINDOWS]", upper case.
struct DriveList {
    std::vector<std::string> items;
    int selected = -1;
    // The text the list shows: the selected entry, or empty.
    std::string text() const {
        return selected >= 0 && selected < static_cast<int>(items.size()) ? items[selected] : std::string();
    }
};

// Choosing an entry only moves the selection.
class DriveComboBox : public Control, public DriveList {
public:
    explicit DriveComboBox(ControlInit init) : Control(ControlKind::DriveComboBox, std::move(init)) {}
    bool binds(Event event) const override;
    bool raise(TForm1& form, Event event, const EventArgs& args) override;
};

// A list box of text lines with at most one line chosen (-1: none).
struct TextListBox {
    std::vector<std::string> items;
    int selected = -1;
};

// A list box in which several lines may be chosen, in ascending order.
struct MultiSelectListBox {
    std::vector<std::string> items;
    std::vector<int> selected;
};

// A list box on screen, whatever it lists: the view shows texts() in their
// order (a line's index is the model's index) with chosen() chosen.
class ListBox : public Control {
public:
    ListBox(ControlInit init, bool multiSelect)
        : Control(ControlKind::ListBox, std::move(init)), multiSelect(multiSelect) {}
    const bool multiSelect;  // several lines may be chosen
    virtual std::vector<std::string> texts() const = 0;
    virtual std::vector<int> chosen() const = 0;
    // The number kept with each line (a process list's process IDs); 0 for none.
    virtual uint32_t itemData(size_t) const { return 0; }
};

struct ProcessListSlots {
    IndexHandler onSelect = nullptr;
};

// The running processes, one chosen at a time.
class ProcessList : public ListBox, public tools::ProcessListBox {
public:
    explicit ProcessList(ControlInit init, ProcessListSlots slots = {})
        : ListBox(std::move(init), false), onSelect(slots.onSelect) {}
    const IndexHandler onSelect;
    std::vector<std::string> texts() const override;
    std::vector<int> chosen() const override;
    uint32_t itemData(size_t index) const override;
    bool binds(Event event) const override;
    bool raise(TForm1& form, Event event, const EventArgs& args) override;
};

struct TextListSlots {
    IndexHandler onSelect = nullptr;
    Handler onClick = nullptr;
};

// Text lines, one chosen at a time: the choice, then a click.
class TextList : public ListBox, public TextListBox {
public:
    explicit TextList(ControlInit init, TextListSlots slots = {})
        : ListBox(std::move(init), false), onSelect(slots.onSelect), onClick(slots.onClick) {}
    const IndexHandler onSelect;
    const Handler onClick;
    std::vector<std::string> texts() const override { return items; }
    std::vector<int> chosen() const override;
    bool binds(Event event) const override;
    bool raise(TForm1& form, Event event, const EventArgs& args) override;
};

struct MultiSelectListSlots {
    IndexesHandler onSelect = nullptr;
};

// Text lines of which several may be chosen.
class MultiSelectList : public ListBox, public MultiSelectListBox {
public:
    explicit MultiSelectList(ControlInit init, MultiSelectListSlots slots = {})
        : ListBox(std::move(init), true), onSelect(slots.onSelect) {}
    const IndexesHandler onSelect;
    std::vector<std::string> texts() const override { return items; }
    std::vector<int> chosen() const override { return selected; }
    bool binds(Event event) const override;
    bool raise(TForm1& form, Event event, const EventArgs& args) override;
};

}  // namespace vx::app
