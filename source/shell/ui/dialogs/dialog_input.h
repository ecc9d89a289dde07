#pragma once
// Shared pieces of the shell's dialogs: the OK / Cancel button row and the
// checked reading of number fields. A field that holds no acceptable
// number gets the dialog's own message ("Please enter an integer.") in a
// box that does not block, and the dialog stays open with the field
// selected.

#include <optional>

class QBoxLayout;
class QDialog;
class QLineEdit;
class QPushButton;
class QWidget;
#include <QString>

inline constexpr const char* kEnterIntegerText = "Please enter an integer.";
inline constexpr const char* kEnterAddressText = "Please enter an address: a number, hexadecimal after 0x.";

// "Please enter an integer between <low> and <high>."
QString IntegerRangeText(long long low, long long high);

// "0x%.8X" of the address.
QString HexAddress(unsigned int address);

// Adds the right-aligned "OK" (object name "1", the default button) and
// "Cancel" ("2") buttons to the layout, wired to accept and reject.
void AddOkCancelRow(QDialog& dialog, QBoxLayout& layout, const QString& okText = "OK");

// The width a window needs for the window manager's title bar to show its
// whole title: the title in a bold face, and room for the bar's icon and
// buttons.
int TitleBarWidth(const QWidget& window);

// Refuses the field's text: a warning box over the dialog ("inputRefused")
// with the text, and the focus back on the field.
void RefuseField(QDialog& dialog, QLineEdit& field, const QString& text);

// The field's value as a decimal integer within [low, high]; nullopt after
// telling the user and selecting the field. A byte-sized field (as the
// record lengths) answers every refusal with the range.
std::optional<long long> TakeInteger(QDialog& dialog, QLineEdit& field, long long low, long long high);

// As above for an integer field with a range of its own (the remote port):
// a text that is no integer is refused as by an unbounded field ("Please
// enter an integer."), a number outside the range with the range.
std::optional<long long> TakeBoundedInteger(QDialog& dialog, QLineEdit& field, long long low, long long high);

// An address field: true when its text is a whole number that fits 32 bits
// (decimal, 0x hex, leading 0 octal); otherwise the user is told and the
// field selected.
bool TakeAddress(QDialog& dialog, QLineEdit& field);
