// The print dialog seam.
#pragma once

class QPrinter;

namespace platform {

class PrinterChooser {
public:
    virtual ~PrinterChooser() = default;
    // Lets the user set up `printer` (the system's print dialog); false
    // when the user cancels.
    virtual bool choosePrinter(QPrinter& printer) = 0;
};

}  // namespace platform
