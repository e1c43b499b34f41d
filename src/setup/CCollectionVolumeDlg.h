#pragma once

#include <QDialog>
#include <QWidget>

#include "setup/CollectionVolume.h"

class QLabel;
class QLineEdit;
class QRadioButton;

namespace corvane {

class CMySpinButtonCtrl;
class SetupHost;

// The distance read-out beside the volume: "Corresponds to a maximum
// fractionation distance of:" and the value.
class CCollectionDistanceDlg : public QWidget {
    Q_OBJECT

public:
    explicit CCollectionDistanceDlg(QWidget* parent = nullptr);
    void setDistance(const QString& text);
    [[nodiscard]] QString distance() const;

private:
    QLabel* value_;
};

// "Collection Vessel Volume": the volume of one collection vessel with its
// spin arrows, the distance it makes in the tube (joined to the field by a
// drawn arrow while the text is a number), the fractionation kind, OK. OK
// stores the volume and hands it, with the kind, to the window: the runs
// are checked against that vessel and, auto + manual, cut to it.
class CCollectionVolumeDlg : public QDialog {
    Q_OBJECT

public:
    // host: the window that keeps the volume and the kind OK hands it.
    CCollectionVolumeDlg(std::filesystem::path startupFolder, std::string userName, double volumePerMm,
                         Prompter& prompter, Clock& clock, SetupHost* host = nullptr, QWidget* parent = nullptr);

    [[nodiscard]] CollectionVolumePage& page() { return page_; }
    [[nodiscard]] QLineEdit* volumeEdit() const { return volume_; }
    [[nodiscard]] CMySpinButtonCtrl* spin() const { return spin_; }
    [[nodiscard]] CCollectionDistanceDlg* distanceWindow() const { return distance_; }

    void accept() override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void showDistance();

    CollectionVolumePage page_;
    SetupHost* host_;
    QLineEdit* volume_;
    CMySpinButtonCtrl* spin_;
    CCollectionDistanceDlg* distance_;
    QRadioButton* standard_;
    QRadioButton* autoManual_;
};

// The hover read-out of one fraction: a borderless window with its distance
// and volume, set by its owner (the overlay plan's graph).
class CHoverDistandVolDlg : public QWidget {
    Q_OBJECT

public:
    explicit CHoverDistandVolDlg(QWidget* parent = nullptr);
    void setFraction(double distanceMm, double volumeMl);
    [[nodiscard]] QString text() const;

private:
    QLabel* distance_;
    QLabel* volume_;
};

}  // namespace corvane
