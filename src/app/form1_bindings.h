// Which handler of the model each event of a control reaches. The view looks
// the handlers up here; they are member pointers, so a misspelt or missing
// handler fails to compile instead of leaving a control that does nothing.
//
// Handlers with arguments or results of their own (the check boxes, the list
// selections, the instructions button's keys, the session-end question) are
// called by the view directly.
#pragma once

#include <string_view>

#include "app/form1.h"

namespace vx::app {

enum class Event {
    Click,        // a button, picture button, label, static text or panel clicked
    DoubleClick,  // a label or static text double-clicked
    PageShow,     // a tab page became the visible one
    MouseEnter,   // the mouse came over a control
    MouseMove,    // the mouse moved over it
    MouseLeave,   // the mouse left it
};

using Handler = void (TForm1::*)();

struct Binding {
    std::string_view control;
    Event event;
    Handler handler;
};

// The events each kind of control raises on screen.
constexpr bool canRaise(ControlKind kind, Event event) {
    switch (event) {
        case Event::Click:
            return kind == ControlKind::Button || kind == ControlKind::SpeedButton || kind == ControlKind::Label ||
                   kind == ControlKind::StaticText || kind == ControlKind::Panel;
        case Event::DoubleClick:
            return kind == ControlKind::Label || kind == ControlKind::StaticText;
        case Event::PageShow:
            return kind == ControlKind::TabSheet;
        case Event::MouseEnter:
        case Event::MouseMove:
        case Event::MouseLeave:
            return kind == ControlKind::Label || kind == ControlKind::Button || kind == ControlKind::SpeedButton;
    }
    return false;
}

inline constexpr Binding kBindings[] = {
    // --- clicks -------------------------------------------------------------------
    {"BitBtn1", Event::Click, &TForm1::BitBtn1Click},    // device disinfection
    {"BitBtn2", Event::Click, &TForm1::BitBtn2Click},    // computer disinfection
    {"BitBtn3", Event::Click, &TForm1::BitBtn3Click},    // instructions
    {"BitBtn7", Event::Click, &TForm1::BitBtn7Click},    // computer check
    {"BitBtn9", Event::Click, &TForm1::BitBtn9Click},    // device check
    {"BitBtn10", Event::Click, &TForm1::BitBtn10Click},  // list processes
    {"BitBtn11", Event::Click, &TForm1::BitBtn11Click},  // end process
    {"BitBtn12", Event::Click, &TForm1::BitBtn12Click},  // copy to the desktop
    {"BitBtn13", Event::Click, &TForm1::BitBtn13Click},  // Português
    {"BitBtn14", Event::Click, &TForm1::BitBtn14Click},  // English
    {"BitBtn15", Event::Click, &TForm1::BitBtn15Click},  // repair icons
    {"BitBtn16", Event::Click, &TForm1::BitBtn16Click},  // save the settings
    {"BitBtn17", Event::Click, &TForm1::BitBtn17Click},  // system report
    {"Button4", Event::Click, &TForm1::Button4Click},    // clean the temporary folders
    {"Button5", Event::Click, &TForm1::Button5Click},    // restore the selected items
    {"Button6", Event::Click, &TForm1::Button6Click},    // restore everything kept
    {"Button7", Event::Click, &TForm1::Button7Click},    // delete a run for good
    {"SpeedButton1", Event::Click, &TForm1::SpeedButton1Click},  // detect drives, removal group
    {"SpeedButton3", Event::Click, &TForm1::SpeedButton3Click},  // detect drives, check group
    {"Label4", Event::Click, &TForm1::Label4Click},
    {"Label18", Event::Click, &TForm1::Label18Click},
    {"Label19", Event::Click, &TForm1::Label19Click},
    {"Label20", Event::Click, &TForm1::Label20Click},  // user temporary folder
    {"Label21", Event::Click, &TForm1::Label21Click},  // Windows temporary folder
    {"Panel3", Event::Click, &TForm1::Panel3Click},

    // --- double clicks --------------------------------------------------------------
    {"Label2", Event::DoubleClick, &TForm1::Label2DblClick},

    // --- tab pages shown --------------------------------------------------------------
    {"TabSheet2", Event::PageShow, &TForm1::TabSheet2Show},  // the tools tab refreshes its figures
    {"TabSheet3", Event::PageShow, &TForm1::TabSheet3Show},
    {"TabSheet4", Event::PageShow, &TForm1::TabSheet4Show},  // the quarantine tab reads the store again

    // --- hover on the link labels -------------------------------------------------------
    {"Label2", Event::MouseEnter, &TForm1::Label2MouseEnter},
    {"Label2", Event::MouseMove, &TForm1::Label2MouseMove},
    {"Label2", Event::MouseLeave, &TForm1::Label2MouseLeave},
    {"Label4", Event::MouseEnter, &TForm1::Label4MouseEnter},
    {"Label4", Event::MouseMove, &TForm1::Label4MouseMove},
    {"Label4", Event::MouseLeave, &TForm1::Label4MouseLeave},
    {"Label18", Event::MouseEnter, &TForm1::Label18MouseEnter},
    {"Label18", Event::MouseMove, &TForm1::Label18MouseMove},
    {"Label18", Event::MouseLeave, &TForm1::Label18MouseLeave},
    {"Label19", Event::MouseEnter, &TForm1::Label19MouseEnter},
    {"Label19", Event::MouseMove, &TForm1::Label19MouseMove},
    {"Label19", Event::MouseLeave, &TForm1::Label19MouseLeave},
    {"Label20", Event::MouseEnter, &TForm1::Label20MouseEnter},
    {"Label20", Event::MouseMove, &TForm1::Label20MouseMove},
    {"Label20", Event::MouseLeave, &TForm1::Label20MouseLeave},
    {"Label21", Event::MouseEnter, &TForm1::Label21MouseEnter},
    {"Label21", Event::MouseMove, &TForm1::Label21MouseMove},
    {"Label21", Event::MouseLeave, &TForm1::Label21MouseLeave},
};

// The handler bound to that event of that control, or null.
constexpr Handler handlerFor(std::string_view control, Event event) {
    for (const Binding& b : kBindings)
        if (b.control == control && b.event == event) return b.handler;
    return nullptr;
}

// The check boxes: the handler takes the state the click asks for.
using CheckHandler = void (TForm1::*)(bool);

struct CheckBinding {
    std::string_view control;
    CheckHandler handler;
};

inline constexpr CheckBinding kCheckBindings[] = {
    {"CheckBox1", &TForm1::CheckBox1Click},
    {"CheckBox2", &TForm1::CheckBox2Click},
    {"CheckBox3", &TForm1::CheckBox3Click},
};

constexpr CheckHandler checkHandlerFor(std::string_view control) {
    for (const CheckBinding& b : kCheckBindings)
        if (b.control == control) return b.handler;
    return nullptr;
}

}  // namespace vx::app
