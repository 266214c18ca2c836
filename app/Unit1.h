#pragma once

#include <QWidget>

// An empty window created at start with the others and never shown.
class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr) : QWidget(parent) {
        setWindowTitle(QStringLiteral("Form1"));
    }
};
