// Widget kinds of the program's windows that form translation tells apart.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QTableWidget>
#include <QWidget>

// A picture shown at its own size from the top-left corner, with a tooltip
// and mouse notifications (the state pictures and skin parts of the windows).
class ImageControl : public QWidget
{
    Q_OBJECT
public:
    explicit ImageControl(QWidget *parent = nullptr);

    void setPicture(const QImage &picture);
    const QImage &picture() const { return picture_; }
    QSize sizeHint() const override;

signals:
    void mouseEntered();
    void mouseLeft();
    // A left-button press and release both inside the control.
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QImage picture_;
    bool pressed_ = false;
};

// A read-only table of records, selected by whole rows; its column titles are
// the horizontal header items.
class DataGrid : public QTableWidget
{
    Q_OBJECT
public:
    explicit DataGrid(QWidget *parent = nullptr);

    // Sets the number of columns to titles.size() and their titles.
    void setColumnTitles(const QStringList &titles);
    QStringList columnTitles() const;
};

// A check box bound to one column of a record set.
class DataCheckBox : public QCheckBox
{
    Q_OBJECT
public:
    explicit DataCheckBox(QWidget *parent = nullptr) : QCheckBox(parent) {}
    explicit DataCheckBox(const QString &text, QWidget *parent = nullptr) : QCheckBox(text, parent) {}

    const QString &fieldName() const { return fieldName_; }
    void setFieldName(const QString &name) { fieldName_ = name; }

private:
    QString fieldName_;
};

// A drop-down list bound to one column of a record set; its entries are data,
// never translated.
class DataComboBox : public QComboBox
{
    Q_OBJECT
public:
    explicit DataComboBox(QWidget *parent = nullptr) : QComboBox(parent) {}

    const QString &fieldName() const { return fieldName_; }
    void setFieldName(const QString &name) { fieldName_ = name; }

private:
    QString fieldName_;
};
