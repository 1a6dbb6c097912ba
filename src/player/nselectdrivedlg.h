// The source selection window: a drop-down list of the removable cards and the PC-folder
// entry, with "Check" to take the selected source and "Close" to cancel. Run modally by
// the file list window, which then hands selectedIndex() to the catalogue.
#pragma once

#include "appmessages.h"
#include "drives.h"

#include <QDialog>

#include <vector>

class CSkinButton;
class CSkinComboBox;

class CNSelectDriveDlg : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplateId = 153;
    static constexpr int kWidth = 456;
    static constexpr int kHeight = 182;

    enum ControlId : int {
        IDC_CLOSE = 1005,
        IDC_CHECK = 1006,
        IDC_SOURCE_LIST = 1024,
    };

    // Fills `drives` (owned by the caller, the catalogue) with the current sources and
    // lists them; `drives` must outlive the window.
    CNSelectDriveDlg(std::vector<DriveEntry> &drives, const QString &pcFolderLabel, QWidget *parent = nullptr);

    // Index in `drives` of the source taken with "Check"; -1 before that.
    int selectedIndex() const { return selected; }

    CSkinComboBox *sourceList() const { return combo; }
    CSkinButton *closeButton() const { return closeBtn; }
    CSkinButton *checkButton() const { return checkBtn; }

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    LRESULT onPlayerCommand(WPARAM id);
    void centreOnMainWindow();

    std::vector<DriveEntry> &drives; // the caller's list, rebuilt on every opening
    CSkinComboBox *combo = nullptr;  // children, owned by the window
    CSkinButton *closeBtn = nullptr;
    CSkinButton *checkBtn = nullptr;
    int selected = -1;
};
