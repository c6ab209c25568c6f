#include "window/untKrvClientA.hpp"

#include "dialogs/FormPlacement.hpp"
#include "dialogs/krvClientAAbout.hpp"

// The box lives as long as the window, hidden between showings.
void TfrmKrvClientA::CreateAboutBox() {
    about_ = new TfrmkrvClientAAbout(this);
}

void TfrmKrvClientA::mnuHelpAboutClick() {
    CenterFormOver(*about_, *this);
    about_->Fill();
    about_->exec();
}
