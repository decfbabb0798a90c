#include "store/store_fixture.h"

RawDb::RawDb(const wxString& path)
{
    m_db.Open(path);
}

RawDb::~RawDb()
{
    if (m_db.IsOpen())
        m_db.Close();
}

void RawDb::Exec(const wxString& sql)
{
    m_db.ExecuteUpdate(sql);
}

std::vector<std::vector<wxString>> RawDb::Rows(const wxString& sql)
{
    std::vector<std::vector<wxString>> rows;
    wxSQLite3ResultSet set = m_db.ExecuteQuery(sql);
    while (set.NextRow())
    {
        std::vector<wxString> row;
        for (int i = 0; i < set.GetColumnCount(); ++i)
            row.push_back(set.GetAsString(i));
        rows.push_back(row);
    }
    return rows;
}

wxString RawDb::Value(const wxString& sql)
{
    const auto rows = Rows(sql);
    return rows.empty() || rows[0].empty() ? wxString() : rows[0][0];
}

StoreTest::StoreTest()
{
    DbAccess::SetDefaultBusyTimeout(60000);
}

StoreTest::~StoreTest()
{
    DbAccess::SetDefaultBusyTimeout(60000);
}

unsigned FileChangeCounter(const wxString& path)
{
    const std::string bytes = ReadFileBytes(path);
    if (bytes.size() < 28)
        return 0;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + 24;
    return (unsigned(p[0]) << 24) | (unsigned(p[1]) << 16) | (unsigned(p[2]) << 8) | p[3];
}
