#pragma once

#include <QDialog>
#include <QString>
#include <functional>

#include "dialogs/ProductTitle.hpp"

class QLabel;
class ClickablePicture;

// The About box: title, version and notice, and two pictures that open the author's web page
// and a new mail to the author. It lives from start-up to the end and is filled at each showing.
class TfrmkrvClientAAbout : public QDialog {
    Q_OBJECT

public:
    // Hands a web or "mailto:" address to the desktop; replaceable so that tests see the text.
    using AddressOpener = std::function<void(const QString& address)>;

    explicit TfrmkrvClientAAbout(QWidget* parent = nullptr);

    // Sets the title, the text and the two addresses; the caller places and shows the box.
    void Fill();
    void SetAddressOpener(AddressOpener opener) { opener_ = std::move(opener); }

    // The address that clicking the envelope opens.
    QString MailAddressText() const;

    ClickablePicture* imHouse = nullptr;
    ClickablePicture* imEmail = nullptr;
    QLabel* Label1 = nullptr;

private:
    void imHouseClick();
    void imEmailClick();

    AddressOpener opener_;
};

// The box's texts, for the window's menu entry and for tests.
inline constexpr const char* kAboutTitle = kProductTitle;
inline constexpr const char* kAuthorWebPage = "https://www.example.org/korvane-admin/";
inline constexpr const char* kAuthorMail = "author@example.org";
inline constexpr const char* kAuthorShortName = "Author";
// Names the licence of the LICENSE file; it has to fit the label's one line.
inline constexpr const char* kAboutNotice = "MIT licence: free to use and to pass on, without warranty.";
