#pragma once

namespace vantrel {

class Autostart;
class VantrelForm;

// The Options page's operations over the form's option controls (`VantrelForm::controls`): fill
// them from the stored state, apply and save them, or discard their edits. The view binds its
// check boxes, key boxes and slider to the controls and calls these on OK and Cancel.
class OptionsPage {
  public:
    // `autostart` may be null: then the option only lives in the settings.
    OptionsPage(VantrelForm& form, Autostart* autostart);

    // Settings loaded (the first run applies the initial controls), controls and tray check
    // marks filled, both lists and their views loaded. Throws Error when the store cannot be read.
    void initform();
    // The one apply-and-save operation. `withSender` for the OK button and a finished list
    // exchange: the window then goes to the tray and both list files are saved. A settings or
    // autostart value that cannot be written is shown in the error box and ends the apply there.
    void IBtnOkClick(bool withSender);
    // Minimises, then drops every unsaved edit by filling everything again from the store.
    void IBtnCancelClick();
    // The login entry for the running program, added only when there is none. Throws Error when
    // it cannot be written.
    void addAutostartEntry();

  private:
    void apply(bool withSender);
    void updateAutostart();

    VantrelForm& form_;
    Autostart* autostart_;
};

}  // namespace vantrel
