#include "window/search/EnginesModel.h"

#include "resources/Resource.h"
#include "settings/LanguagePack.h"

CEnginesModel::CEnginesModel(QObject* parent)
    : CListModel(parent)
{
}

int CEnginesModel::AddEngine(Engine engine, int image)
{
    m_engines.push_back(std::move(engine));
    return InsertRow(Count(), 0, image, {});
}

void CEnginesModel::RemoveFrom(int row)
{
    if (row >= 0 && row < Count())
        RemoveRows(row, Count() - row);
}

const CEnginesModel::Engine* CEnginesModel::EngineAt(int row) const
{
    return row >= 0 && static_cast<std::size_t>(row) < m_engines.size() ? &m_engines[static_cast<std::size_t>(row)]
                                                                        : nullptr;
}

void CEnginesModel::SetFiles(int row, int files)
{
    if (EngineAt(row) == nullptr || m_engines[static_cast<std::size_t>(row)].files == files)
        return;
    m_engines[static_cast<std::size_t>(row)].files = files;
    Changed(row, Files);
}

void CEnginesModel::RowsRemoved(int row, int count)
{
    m_engines.erase(m_engines.begin() + row, m_engines.begin() + row + count);
}

QVariant CEnginesModel::CellData(int row, int column, int role) const
{
    const Engine* engine = EngineAt(row);
    if (engine == nullptr || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole && role != ListRole::Sort))
        return CListModel::CellData(row, column, role);
    switch (column) {
    case Status: return QString::fromStdString(LoadLanguageString(IDS_NOT_CONNECTED));
    case Name: return QString::fromStdString(engine->name);
    case Files: return role == ListRole::Sort ? QVariant(engine->files) : QVariant(QString::number(engine->files));
    case HomePage: return QString::fromStdString(engine->homePage);
    default: return QString();
    }
}
