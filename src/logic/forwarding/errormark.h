#pragma once
// The Error attribute the element walk leaves on an element that ZamMeld did not
// take as it should. The stored texts are what older files hold, so they stay.
namespace zampo {

enum class ErrorMark {
    None = 0,
    Refused = 1,      // ZamMeld answered NAK; the configuration error went out instead
    NotAccepted = 2,  // three sends without an OK: the walk gave up on it
    NoAnswer = 3,     // no answer within 10 seconds
};

// As the Error attribute holds it: "1", "2" or "3"; empty for None.
constexpr const char* errorMarkText(ErrorMark mark) {
    switch (mark) {
        case ErrorMark::Refused:
            return "1";
        case ErrorMark::NotAccepted:
            return "2";
        case ErrorMark::NoAnswer:
            return "3";
        case ErrorMark::None:
            break;
    }
    return "";
}

}  // namespace zampo
