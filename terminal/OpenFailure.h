#pragma once
// The text of the box that reports a refused open: the fixed first lines, then the reason the
// engine found, then the program that holds the port when it is known.
#include <QString>

#include <string>

class CSerialLink;
struct OpenError;

QString OpenFailureText(const CSerialLink& link);
// The same for a refusal found before the engine was asked (a connect that failed).
QString OpenFailureText(const OpenError& error, const std::string& strHolder = {});
