#pragma once

#include "window/ListModel.h"

#include <string>
#include <vector>

// The engine list: one record per engine, the built-in sites first (the
// third is listed only, never searched), then the user's engines. Each row
// shows the engine's state as its picture, its name, the files it found in
// the search under way and its home page.
class CEnginesModel final : public CListModel {
    Q_OBJECT
public:
    enum Column { Status, Name, Files, HomePage, Id };

    struct Engine {
        std::string name;
        std::string homePage;
        int files = 0;
    };

    explicit CEnginesModel(QObject* parent = nullptr);

    // Appends an engine's row, resting; returns its row.
    int AddEngine(Engine engine, int image);
    // Drops every row from `row` on.
    void RemoveFrom(int row);
    const Engine* EngineAt(int row) const;
    void SetFiles(int row, int files);

protected:
    QVariant CellData(int row, int column, int role) const override;
    void RowsRemoved(int row, int count) override;

private:
    std::vector<Engine> m_engines;
};
