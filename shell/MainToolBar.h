#pragma once
// The tool bar of the main window: its buttons under their form names, with
// hints and pictures, and the drop-down menu of utilities and the font.

#include <QAction>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>

namespace virs {

class TMainToolBar : public QToolBar {
    Q_OBJECT
public:
    explicit TMainToolBar(QWidget* parent = nullptr);

    QToolButton* ToolButton5;  // новый узел
    QToolButton* ToolButton6;  // новый прибор
    QToolButton* ToolButton20; // клонировать прибор
    QToolButton* ToolButton7;  // удалить
    QToolButton* ToolButton18; // подробно (check)
    QToolButton* ToolButton8;  // добавить параметр
    QToolButton* ToolButton9;  // убрать параметр
    QToolButton* ToolButton14; // соединение с узлом (check)
    QToolButton* ToolButton16; // старт/стоп (check)
    QToolButton* ToolButton13; // циклический опрос (check)
    QToolButton* ToolButton3;  // сохранить как
    QToolButton* ToolButton2;  // печать
    QToolButton* ToolButton1;  // Настройки, утилиты (drop-down)
    QToolButton* ToolButton12; // Справка

    QMenu* PopupMenu1;
    QAction* N2; // настройка удалённого модема
    QAction* N3; // назначение новых сетевых адресов адаптеру ВИРСШ
    QAction* N11; // обновление прошивки ВИРС-Д
    QAction* N6;  // шрифт

    // Sets a button's picture by its index in the tool bar's image list.
    static void SetImage(QToolButton* button, int index);

private:
    QToolButton* AddButton(const char* name, const char* hint, int image, bool check = false);
};

} // namespace virs
