#ifndef ABPROG_H
#define ABPROG_H

#include <QMainWindow>

QT_BEGIN_NAMESPACE
namespace Ui {
class abprog;
}
QT_END_NAMESPACE

class QMouseEvent;

// The About window: the program's purpose, its credits and its emblem. Left
// presses past a fixed count emit tap(), one per press.
class abprog : public QMainWindow
{
    Q_OBJECT

public:
    explicit abprog(QWidget *parent = nullptr);
    ~abprog() override;

    // Left presses that only count; each one after them emits tap().
    static constexpr int THRESHOLD = 10;

signals:
    void tap();

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    int click = 0;
    Ui::abprog *ui;
};

#endif // ABPROG_H
