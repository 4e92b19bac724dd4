#include "app/form1_controls.h"

#include "app/form1.h"

namespace vx::app {

Control::Control(ControlKind kind, ControlInit init)
    : name(init.name),
      parent(init.parent),
      kind(kind),
      caption(std::move(init.caption)),
      hint(std::move(init.hint)),
      font(init.font) {
    // Every control joins the form's list as it is built: declared in order,
    // containers before their content, the form first.
    Control* root = this;
    while (root->parent) root = root->parent;
    if (auto* form = dynamic_cast<Form*>(root); form && root != this) form->all_.push_back(this);
}

Form::Form(ControlInit init) : Control(ControlKind::Form, std::move(init)) { all_.push_back(this); }

bool Control::raise(TForm1&, Event, const EventArgs&) { return false; }

bool Control::call(TForm1& form, Handler handler) {
    if (!handler) return false;
    (form.*handler)();
    return true;
}

bool TabSheet::binds(Event event) const { return event == Event::PageShow && onShow != nullptr; }

bool TabSheet::raise(TForm1& form, Event event, const EventArgs&) {
    return event == Event::PageShow && call(form, onShow);
}

bool Button::binds(Event event) const {
    return (event == Event::Click && onClick != nullptr) || (event == Event::KeyDown && onKeyDown != nullptr);
}

bool Button::raise(TForm1& form, Event event, const EventArgs& args) {
    if (event == Event::Click) return call(form, onClick);
    if (event == Event::KeyDown && onKeyDown) return (form.*onKeyDown)(args.key);
    return false;
}

bool Label::binds(Event event) const {
    switch (event) {
        case Event::Click: return onClick != nullptr;
        case Event::DoubleClick: return onDblClick != nullptr;
        case Event::MouseEnter: return onMouseEnter != nullptr;
        case Event::MouseMove: return onMouseMove != nullptr;
        case Event::MouseLeave: return onMouseLeave != nullptr;
        default: return false;
    }
}

bool Label::raise(TForm1& form, Event event, const EventArgs&) {
    switch (event) {
        case Event::Click: return call(form, onClick);
        case Event::DoubleClick: return call(form, onDblClick);
        case Event::MouseEnter: return call(form, onMouseEnter);
        case Event::MouseMove: return call(form, onMouseMove);
        case Event::MouseLeave: return call(form, onMouseLeave);
        default: return false;
    }
}

bool CheckBox::binds(Event event) const { return event == Event::Click && onClick != nullptr; }

bool CheckBox::raise(TForm1& form, Event event, const EventArgs&) {
    if (event != Event::Click || !onClick) return false;
    // A click asks for the state opposite to the one held when it is handled.
    (form.*onClick)(!checked);
    return true;
}

bool DriveComboBox::binds(Event event) const { return event == Event::Select; }

bool DriveComboBox::raise(TForm1&, Event event, const EventArgs& args) {
    if (event != Event::Select) return false;
    selected = args.selection.empty() ? -1 : args.selection.front();
    return true;
}

std::vector<std::string> ProcessList::texts() const { return lines(); }

std::vector<int> ProcessList::chosen() const {
    return selected >= 0 ? std::vector<int>{selected} : std::vector<int>{};
}

uint32_t ProcessList::itemData(size_t index) const { return index < items.size() ? items[index].pid : 0; }

bool ProcessList::binds(Event event) const { return event == Event::Select && onSelect != nullptr; }

bool ProcessList::raise(TForm1& form, Event event, const EventArgs& args) {
    if (event != Event::Select || !onSelect) return false;
    (form.*onSelect)(args.selection.empty() ? -1 : args.selection.front());
    return true;
}

std::vector<int> TextList::chosen() const {
    return selected >= 0 ? std::vector<int>{selected} : std::vector<int>{};
}

bool TextList::binds(Event event) const { return event == Event::Select && (onSelect != nullptr || onClick != nullptr); }

bool TextList::raise(TForm1& form, Event event, const EventArgs& args) {
    if (event != Event::Select) return false;
    if (onSelect) (form.*onSelect)(args.selection.empty() ? -1 : args.selection.front());
    call(form, onClick);
    return true;
}

bool MultiSelectList::binds(Event event) const { return event == Event::Select && onSelect != nullptr; }

bool MultiSelectList::raise(TForm1& form, Event event, const EventArgs& args) {
    if (event != Event::Select || !onSelect) return false;
    (form.*onSelect)(args.selection);
    return true;
}

}  // namespace vx::app
