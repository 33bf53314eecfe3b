#pragma once
// The text of the box that reports a refused open: the fixed first lines, then the reason the
// engine found, then the program that holds the port when it is known.
#include <QString>

class CSerialLink;

QString OpenFailureText(const CSerialLink& link);
