#pragma once

#include "result.h"

#include <QImage>
#include <QString>
#include <string>

/// The add-in's own library file: where it lies and what its resources hold.
/// Resources are Qt resources named after the resource type and name the
/// add-in has always used (":/BITMAP/MENUBMP", ":/CUSTOM/RUSTIPS").
class AddInLibrary {
public:
    /// The absolute path of the file this code was loaded from (the
    /// executable itself when the add-in's code is linked into one); empty
    /// when the system cannot tell. Symbolic links in it are kept.
    static std::string path();
    /// The folder of path(): where the add-in keeps its tips file.
    static QString folder();

    /// The bytes of the resource `name` of the type `type`; error 326 when
    /// there is none.
    static trapline::Result<std::string> LoadResData(const QString& name, const QString& type);
    /// The bitmap resource `name` as a picture; error 326 when there is none
    /// or it is no picture Qt can read.
    static trapline::Result<QImage> LoadResPicture(const QString& name);
};
