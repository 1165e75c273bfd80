#ifndef XMLFILE_H
#define XMLFILE_H

#include "dombuilder.h"

#include <QByteArray>
#include <QDomDocument>
#include <QDomElement>
#include <QDomNode>
#include <QString>
#include <QVector>

// Makes the next child of an element being written; false when there is none left.
using TChildSource = std::function<bool()>;

// Thrown by value by every failing operation of TXmlFile. The message is ready to be logged as it is;
// code 0 means the file itself could not be opened or is write-protected, 1 any other failure.
class TXmlFileException
{
public:
    QString message;
    int code;

    TXmlFileException(const QString& message_text, int error_code);
};

// One XML document in memory with the path it is read from and written to. A caller assigns
// file_name, opens or creates the document and walks or builds it from root_element.
class TXmlFile
{
public:
    QDomDocument document;
    QDomElement root_element;
    QString file_name;
    QString identification;
    QString doc_type_name;

    TXmlFile();
    ~TXmlFile();

    TXmlFile(const TXmlFile&) = delete;
    TXmlFile& operator=(const TXmlFile&) = delete;

    void Clear();

    // A document that is damaged (malformed, or refused by the screening) throws, but keeps what was
    // read before the damage: document holds it, damage_line and damage_column say where reading
    // stopped, and root_element (with version) is set when the expected document element was reached.
    // Is_Complete tells which elements were read up to their end tag.
    // element_read, when given, sees each element as soon as it is read and may take it out of the
    // document (see Build_Dom_Document): a reader of many entries keeps one at a time.
    void Open_File(const QString& identification, int* version, bool namespace_processing,
                   const TElementRead& element_read = TElementRead());
    void Open_Data(const QByteArray& data, const QString& identification, int* version,
                   bool namespace_processing, const TElementRead& element_read = TElementRead());
    int damage_line = 0;
    int damage_column = 0;
    bool Is_Complete(const QDomElement& element) const;

    void Create_Document(const QString& root_name, int version);
    void Create_Document(const QString& doc_type_name, const QString& root_name, int version);

    void Save_File(bool compact) const;
    // Writes data, as Save_Data produced it, to file_name exactly as Save_File would.
    void Save_File_Data(const QByteArray& data) const;
    void Save_Data(QByteArray* data, bool compact) const;
    // The same, with the children of streamed (an element of the document, empty until then) made one
    // at a time while the document is written: next_child appends the next one to streamed and returns
    // true, or returns false when there is none left. Each is taken out of the document once written,
    // so that a document of many entries is never held whole.
    void Save_Data(QByteArray* data, bool compact, const QDomElement& streamed,
                   const TChildSource& next_child);

    QString Read_Node_Text(const QDomElement* node, bool optional) const;
    QString Read_Node_Text(const QDomNode* node, bool optional) const;
    QString Read_Node_Attribute(const QDomElement* node, const QString& name, bool optional) const;
    QString Read_Node_Attribute(const QDomNode* node, const QString& name, bool optional) const;

    QDomElement Get_Child_Element(const QDomElement* node, const QString& name, bool optional) const;
    QDomElement Get_Child_Element(const QDomNode* node, const QString& name, bool optional) const;
    QDomElement Get_Sibling_Element(const QDomElement* current_node, const QString& name,
                                    bool optional) const;
    QDomNode Get_First_Child_Node(const QDomElement* parent, bool optional) const;
    QDomNode Get_First_Child_Node(const QDomNode* parent, bool optional) const;
    QDomNode Get_Sibling_Node(const QDomNode* current_node, bool optional) const;

    QDomElement Create_Child_Element(QDomNode* parent, const QString& name);

    void Write_Node_Data(QDomElement* node, const QString& data);
    void Write_Node_Data(QDomElement* node, double value, int precision);
    void Write_Node_Data(QDomElement* node, int value);

    void Write_Node_Attribute(QDomElement* node, const QString& name, const QString& value);
    void Write_Node_Attribute(QDomElement* node, const QString& name, double value, int precision);
    void Write_Node_Attribute(QDomElement* node, const QString& name, int value);

private:
    void Check_Root(const QString& expected_identification, int* version);
    void Keep_Part_Read(const QString& expected_identification, int* version, int line, int column);
    QByteArray Serialise(bool compact, const QDomElement& streamed, const TChildSource& next_child,
                         qint64 size_hint = 0) const;

    // The elements a damaged document left open, outermost first.
    QVector<QDomElement> unfinished_elements;
};

#endif // XMLFILE_H
