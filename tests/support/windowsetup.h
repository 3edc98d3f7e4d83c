#pragma once
// The main window set up for a test as the program shows it.
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>
#include <string>

#include "logic/xml/xmlstore.h"
#include "ui/mainwindow.h"

namespace zampo::test {

// A slot holding the document of text; the test fails when it is no XML.
inline DocumentSlot loadedDocument(const std::string& text) {
    auto slot = std::make_unique<XmlDocument>();
    EXPECT_TRUE(slot->loadText(text));
    return slot;
}

// Attached to the two documents (when given), the texts applied, at the size the
// window was drawn for, shown, with the tree and the grid filled.
inline void showWindow(MainWindow& form, DocumentSlot* zamDefs = nullptr, DocumentSlot* linkDefs = nullptr) {
    if (zamDefs && linkDefs) form.attachDocuments(*zamDefs, *linkDefs);
    form.applyTexts();
    form.resize(950, 577);
    form.show();
    form.showSelectedZamItem();
    form.fillZamTree();
    form.fillLinkGrid();
    QApplication::processEvents();
}

}  // namespace zampo::test
