#include "db/TIBQuery.h"

#include "core/Win1251.h"
#include "db/FbApi.h"
#include "db/TIBDatabase.h"
#include "db/TIBTransaction.h"

#include <QScopeGuard>

#include <cmath>
#include <cstring>
#include <memory>

using namespace Firebird;

namespace {

// Where a column stands in the fetched message, taken once per statement.
struct ColumnLayout {
    unsigned type;
    unsigned offset;
    unsigned nullOffset;
    int scale;
    unsigned length;
    unsigned charSet;
};

// Text of this character set is bytes, not text.
constexpr unsigned kOctets = 1;

std::vector<ColumnLayout> layoutOf(IMessageMetadata* meta, fb::Status& st) {
    std::vector<ColumnLayout> out(meta->getCount(&st));
    for (unsigned i = 0; i < out.size(); ++i)
        out[i] = {meta->getType(&st, i) & ~1u, meta->getOffset(&st, i), meta->getNullOffset(&st, i),
                  meta->getScale(&st, i),      meta->getLength(&st, i), meta->getCharSet(&st, i)};
    return out;
}

// Reads one column of a fetched row.
QVariant readColumn(const ColumnLayout& c, const unsigned char* buf) {
    if (*reinterpret_cast<const short*>(buf + c.nullOffset))
        return {};
    const unsigned char* p = buf + c.offset;
    const auto scaled = [&](qlonglong v) -> QVariant {
        if (c.scale == 0)
            return v;
        double d = double(v);
        for (int k = 0; k < -c.scale; ++k)
            d /= 10.0;
        return d;
    };
    switch (c.type) {
    case SQL_SHORT:
        return scaled(*reinterpret_cast<const short*>(p));
    case SQL_LONG:
        return c.scale == 0 ? QVariant(int(*reinterpret_cast<const ISC_LONG*>(p)))
                            : scaled(*reinterpret_cast<const ISC_LONG*>(p));
    case SQL_INT64:
        return scaled(*reinterpret_cast<const ISC_INT64*>(p));
    case SQL_FLOAT:
        return double(*reinterpret_cast<const float*>(p));
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        return *reinterpret_cast<const double*>(p);
    case SQL_TIMESTAMP:
        return fb::decodeTimestamp(*reinterpret_cast<const ISC_TIMESTAMP*>(p));
    case SQL_TYPE_DATE:
        return QDateTime(fb::decodeDate(*reinterpret_cast<const ISC_DATE*>(p)), QTime(0, 0));
    case SQL_TYPE_TIME: // a time of day in ten-thousandths of a second
        return QTime::fromMSecsSinceStartOfDay(int(*reinterpret_cast<const ISC_TIME*>(p) / 10));
    case SQL_BOOLEAN:
        return bool(*p);
    case SQL_TEXT: {
        QByteArray b(reinterpret_cast<const char*>(p), c.length);
        while (b.endsWith(' '))
            b.chop(1);
        return Win1251::decode(b);
    }
    case SQL_VARYING: {
        const auto len = *reinterpret_cast<const unsigned short*>(p);
        const QByteArray b(reinterpret_cast<const char*>(p + 2), len);
        return c.charSet == kOctets ? QVariant(b) : QVariant(Win1251::decode(b));
    }
    default:
        return {};
    }
}

// How one value travels: its type in the input message and its length.
struct ValueKind {
    unsigned type; // 0 for null: the declared type is kept and NULL sent
    unsigned length;
};

// A value the server cannot hold is refused before anything runs.
void refuseNonFinite(const QVariant& v) {
    if (v.typeId() != QMetaType::Double && v.typeId() != QMetaType::Float)
        return;
    const double d = v.toDouble();
    if (!std::isfinite(d))
        throw EDatabaseError(
            QStringLiteral("Стойността %1 не е крайно число и не може да се запише в базата данни")
                .arg(QString::number(d)));
}

ValueKind kindOf(const QVariant& v, QByteArray& text) {
    if (!v.isValid() || v.isNull())
        return {0, 0};
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::Bool:
        return {SQL_INT64, sizeof(ISC_INT64)};
    case QMetaType::Double:
    case QMetaType::Float:
        return {SQL_DOUBLE, sizeof(double)};
    case QMetaType::QDateTime:
        return {SQL_TIMESTAMP, sizeof(ISC_TIMESTAMP)};
    case QMetaType::QDate:
        return {SQL_TYPE_DATE, sizeof(ISC_DATE)};
    case QMetaType::QByteArray: // bytes as they are, for a column of bytes
        text = v.toByteArray();
        return {SQL_VARYING, std::max<unsigned>(1, unsigned(text.size()))};
    default:
        text = fb::connectionText(v.toString());
        return {SQL_VARYING, std::max<unsigned>(1, unsigned(text.size()))};
    }
}

void writeValue(unsigned char* p, unsigned type, const QVariant& v, const QByteArray& text) {
    switch (type) {
    case SQL_INT64: {
        const ISC_INT64 n = v.toLongLong();
        std::memcpy(p, &n, sizeof n);
        break;
    }
    case SQL_DOUBLE: {
        const double d = v.toDouble();
        std::memcpy(p, &d, sizeof d);
        break;
    }
    case SQL_TIMESTAMP: {
        const ISC_TIMESTAMP ts = fb::encodeTimestamp(v.toDateTime());
        std::memcpy(p, &ts, sizeof ts);
        break;
    }
    case SQL_TYPE_DATE: {
        const ISC_DATE d = fb::encodeDate(v.toDate());
        std::memcpy(p, &d, sizeof d);
        break;
    }
    default: {
        const auto len = static_cast<unsigned short>(text.size());
        std::memcpy(p, &len, 2);
        std::memcpy(p + 2, text.constData(), len);
        break;
    }
    }
}

} // namespace

TIBQuery::TIBQuery(TIBDatabase& db, TIBTransaction& tr) : m_db(db), m_tr(tr) {}

TIBQuery::~TIBQuery() {
    m_tr.removeReader(this);
}

void TIBQuery::setSQL(const QString& text) {
    Close();
    m_sql = text;
    m_params.clear();
    m_positional.clear();
}

void TIBQuery::ParamByName(const QString& name, const QVariant& value) {
    for (Param& p : m_params) {
        if (p.name.compare(name, Qt::CaseInsensitive) == 0) {
            p.value = value;
            return;
        }
    }
    m_params.append({name, value});
}

// ":name" outside quotes becomes "?"; the marks come back in their order.
QString TIBQuery::positionalText(QList<Slot>& order) const {
    int positions = 0;
    QString out;
    QChar quote;
    for (qsizetype i = 0; i < m_sql.size(); ++i) {
        const QChar c = m_sql.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            out.append(c);
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
            out.append(c);
            continue;
        }
        if (c == QLatin1Char(':') && i + 1 < m_sql.size() &&
            (m_sql.at(i + 1).isLetter() || m_sql.at(i + 1) == QLatin1Char('_'))) {
            qsizetype j = i + 1;
            while (j < m_sql.size() &&
                   (m_sql.at(j).isLetterOrNumber() || m_sql.at(j) == QLatin1Char('_')))
                ++j;
            order.append({m_sql.mid(i + 1, j - i - 1), -1});
            out.append(QLatin1Char('?'));
            i = j - 1;
            continue;
        }
        if (c == QLatin1Char('?'))
            order.append({QString(), positions++});
        out.append(c);
    }
    return out;
}

void TIBQuery::ExecSQL() {
    run(false);
}

void TIBQuery::Open() {
    if (m_active)
        return;
    run(true);
}

QList<QVariant> TIBQuery::valuesOf(const QList<Slot>& order) const {
    QList<QVariant> values;
    for (const Slot& slot : order) {
        QVariant v;
        if (slot.position >= 0) {
            if (slot.position < m_positional.size())
                v = m_positional[slot.position];
        } else {
            for (const Param& p : m_params) {
                if (p.name.compare(slot.name, Qt::CaseInsensitive) == 0)
                    v = p.value;
            }
        }
        refuseNonFinite(v);
        values.append(v);
    }
    return values;
}

void TIBQuery::forgetStatement() {
    m_inMeta.reset();
    m_inShape.clear();
    m_outMeta.reset();
    m_declaredIn.reset();
    m_stmt.reset();
    m_preparedSql.clear();
    m_preparedOn = -1;
}

// A statement stays prepared for the next run of the same text on the same
// connection: a recording writes the same insert for every sample.
void TIBQuery::prepare(const QByteArray& sql, ITransaction* tra, fb::Status& st) {
    if (m_stmt && m_preparedSql == sql && m_preparedOn == m_db.generation())
        return;
    forgetStatement();
    m_stmt.reset(m_db.attachment()->prepare(&st, tra, 0, sql.constData(), 3,
                                            IStatement::PREPARE_PREFETCH_METADATA));
    m_declaredIn.reset(m_stmt->getInputMetadata(&st));
    m_outMeta.reset(m_stmt->getOutputMetadata(&st));
    m_preparedSql = sql;
    m_preparedOn = m_db.generation();
}

// Each mark is described as the value we have for it, so the engine converts;
// the description is made again only when the kinds or text lengths change.
void TIBQuery::bindInput(const QList<QVariant>& values, fb::Status& st) {
    const unsigned count = m_declaredIn->getCount(&st);
    std::vector<QByteArray> texts(count);
    std::vector<unsigned> shape(size_t(count) * 2);
    for (unsigned i = 0; i < count; ++i) {
        const QVariant v = i < unsigned(values.size()) ? values[int(i)] : QVariant();
        const ValueKind k = kindOf(v, texts[i]);
        shape[2 * i] = k.type;
        shape[2 * i + 1] = k.length;
    }
    if (!m_inMeta || shape != m_inShape) {
        m_inMeta.reset();
        fb::Ref<IMetadataBuilder> b(m_declaredIn->getBuilder(&st));
        for (unsigned i = 0; i < count; ++i) {
            if (shape[2 * i] == 0)
                continue; // keeps its declared type, sent as NULL
            b->setType(&st, i, shape[2 * i] + 1);
            b->setLength(&st, i, shape[2 * i + 1]);
            if (shape[2 * i] == SQL_INT64 || shape[2 * i] == SQL_DOUBLE)
                b->setScale(&st, i, 0);
        }
        m_inMeta.reset(b->getMetadata(&st));
        m_inShape = shape;
        m_inBuffer.assign(m_inMeta->getMessageLength(&st), 0);
    }
    unsigned char* buf = m_inBuffer.data();
    for (unsigned i = 0; i < count; ++i) {
        short* nullFlag = reinterpret_cast<short*>(buf + m_inMeta->getNullOffset(&st, i));
        *nullFlag = shape[2 * i] == 0 ? -1 : 0;
        if (shape[2 * i] != 0)
            writeValue(buf + m_inMeta->getOffset(&st, i), shape[2 * i], values[int(i)], texts[i]);
    }
}

// A statement that finds the connection gone lets it go, so that the next one
// (a window's next refresh) connects again.
void TIBQuery::run(bool fetch) {
    m_db.reopenIfLost();
    try {
        runOnce(fetch);
    } catch (const EDatabaseError& e) {
        m_db.dropIfLost(e);
        throw;
    }
}

void TIBQuery::runOnce(bool fetch) {
    if (!m_db.Connected())
        throw EDatabaseError(fb::notConnectedText());
    QList<Slot> order;
    const QString text = positionalText(order);
    const QList<QVariant> values = valuesOf(order);
    const QByteArray sql = fb::connectionText(text);
    ITransaction* tra = m_tr.handle();
    fb::Status st;
    try {
        prepare(sql, tra, st);
        bindInput(values, st);
        IMessageMetadata* in = m_inMeta.get();
        unsigned char* inBuf = m_inBuffer.data();
        if (!fetch) {
            m_stmt->execute(&st, tra, in, inBuf, nullptr, nullptr);
            return;
        }
        const bool hasCursor = m_stmt->getFlags(&st) & IStatement::FLAG_HAS_CURSOR;
        IMessageMetadata* outMeta = m_outMeta.get();
        const unsigned cols = outMeta->getCount(&st);
        QStringList fields;
        for (unsigned i = 0; i < cols; ++i) {
            // A second column of the same name is told apart by a number: IME, IME1.
            const QString name = QString::fromUtf8(outMeta->getAlias(&st, i)).toUpper();
            QString unique = name;
            for (int n = 1; fields.contains(unique); ++n)
                unique = name + QString::number(n);
            fields.append(unique);
        }
        std::vector<unsigned char> buf(outMeta->getMessageLength(&st));
        std::vector<std::vector<QVariant>> rows;
        const std::vector<ColumnLayout> layout = layoutOf(outMeta, st);
        const auto readRow = [&] {
            if (m_rawSink) {
                (*m_rawSink)(TIBRow(buf.data(), &layout));
                return;
            }
            std::vector<QVariant> row(cols);
            for (unsigned i = 0; i < cols; ++i)
                row[i] = readColumn(layout[i], buf.data());
            if (m_sink)
                (*m_sink)(row);
            else
                rows.push_back(std::move(row));
        };
        if (hasCursor) {
            fb::Ref<IResultSet> rs(m_stmt->openCursor(&st, tra, in, inBuf, outMeta, 0));
            while (rs->fetchNext(&st, buf.data()) == IStatus::RESULT_OK)
                readRow();
            rs->close(&st);
            rs.take(); // a close that succeeds ends the handle itself
        } else {
            // A statement with one row of results and no cursor ("insert ... returning").
            m_stmt->execute(&st, tra, in, inBuf, outMeta, buf.data());
            if (cols > 0)
                readRow();
        }
        m_fields = fields;
        if (m_sink || m_rawSink)
            return; // nothing kept, nothing to walk
        m_rows = std::make_shared<const Rows>(std::move(rows));
    } catch (const FbException& e) {
        fb::rethrow(e);
    }
    opened();
}

void TIBQuery::Each(const RowSink& row) {
    Close();
    m_sink = &row;
    const auto done = qScopeGuard([this] { m_sink = nullptr; });
    run(true);
}

void TIBQuery::Stream(const RawSink& row) {
    Close();
    m_rawSink = &row;
    const auto done = qScopeGuard([this] { m_rawSink = nullptr; });
    run(true);
}

namespace {
const ColumnLayout& columnOf(const void* layout, int column) {
    return (*static_cast<const std::vector<ColumnLayout>*>(layout))[size_t(column)];
}
} // namespace

bool TIBRow::isNull(int column) const {
    return *reinterpret_cast<const short*>(m_buf + columnOf(m_layout, column).nullOffset) != 0;
}

double TIBRow::number(int column) const {
    const ColumnLayout& c = columnOf(m_layout, column);
    const unsigned char* p = m_buf + c.offset;
    if (c.type == SQL_DOUBLE || c.type == SQL_D_FLOAT)
        return *reinterpret_cast<const double*>(p);
    return readColumn(c, m_buf).toDouble();
}

ISC_TIMESTAMP TIBRow::timestamp(int column) const {
    const ColumnLayout& c = columnOf(m_layout, column);
    if (c.type != SQL_TIMESTAMP)
        throw EDatabaseError(QStringLiteral("Column %1 is no timestamp").arg(column));
    return *reinterpret_cast<const ISC_TIMESTAMP*>(m_buf + c.offset);
}

QVariant TIBRow::value(int column) const {
    return readColumn(columnOf(m_layout, column), m_buf);
}

void TIBQuery::opened() {
    m_active = true;
    m_tr.addReader(this);
    m_row = m_rows->empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_rows->empty();
    for (const auto& l : m_listeners)
        l();
}

void TIBQuery::Close() {
    if (!m_active)
        return;
    m_active = false;
    m_rows = std::make_shared<Rows>();
    m_row = -1;
    m_eof = m_bof = true;
    m_tr.removeReader(this);
    for (const auto& l : m_listeners)
        l();
}

void TIBQuery::First() {
    MoveTo(0);
    m_bof = true;
}

void TIBQuery::Next() {
    MoveBy(1);
}

void TIBQuery::Prior() {
    MoveBy(-1);
}

void TIBQuery::MoveBy(int distance) {
    if (m_rows->empty()) {
        m_eof = m_bof = true;
        return;
    }
    const int target = m_row + distance;
    m_eof = target >= RecordCount();
    m_bof = target < 0;
    MoveTo(std::clamp(target, 0, RecordCount() - 1));
    m_eof = target >= RecordCount();
    m_bof = target < 0;
}

void TIBQuery::MoveTo(int row) {
    if (m_rows->empty())
        return;
    m_row = std::clamp(row, 0, RecordCount() - 1);
    m_eof = m_bof = false;
    if (AfterScroll)
        AfterScroll();
}

int TIBQuery::FieldIndex(const QString& name) const {
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QVariant TIBQuery::FieldByName(const QString& name) const {
    const int col = FieldIndex(name);
    if (col < 0)
        throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(name));
    if (m_row < 0)
        return {};
    return (*m_rows)[size_t(m_row)][size_t(col)];
}

QList<QPair<QString, QVariant>> TIBQuery::Choices(const QString& idField,
                                                  const QString& nameField) const {
    QList<QPair<QString, QVariant>> out;
    const int id = FieldIndex(idField), name = FieldIndex(nameField);
    for (int r = 0; r < RecordCount(); ++r)
        out.append({Value(r, name).toString(), Value(r, id)});
    return out;
}

QVariant TIBQuery::Value(int row, int column) const {
    if (row < 0 || row >= RecordCount() || column < 0 || column >= m_fields.size())
        return {};
    return (*m_rows)[size_t(row)][size_t(column)];
}
