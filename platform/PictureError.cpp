#include "PictureError.h"

namespace PictureError {

namespace {

bool overLimit(QSize size, int allocationLimitMb)
{
    if (!size.isValid() || allocationLimitMb <= 0)
        return false;
    // Four bytes a pixel: what a decoded colour picture takes.
    const qint64 bytes = qint64(size.width()) * size.height() * 4;
    return bytes > qint64(allocationLimitMb) * 1024 * 1024;
}

} // namespace

QString describe(QImageReader::ImageReaderError error, QSize announcedSize, int allocationLimitMb)
{
    if (overLimit(announcedSize, allocationLimitMb))
        return QStringLiteral("图片太大（%1×%2 像素），请换一张小一些的图片")
            .arg(announcedSize.width())
            .arg(announcedSize.height());
    switch (error) {
    case QImageReader::FileNotFoundError:
        return QStringLiteral("文件不存在");
    case QImageReader::DeviceError:
        return QStringLiteral("读取文件时出错，请检查磁盘后再试");
    case QImageReader::UnsupportedFormatError:
        return QStringLiteral("图片已损坏或格式不受支持，请选 JPG 或 BMP 图片");
    case QImageReader::InvalidDataError:
        return QStringLiteral("图片已损坏或格式不受支持，请换一张图片");
    case QImageReader::UnknownError:
        break;
    }
    return QStringLiteral("原因不明");
}

} // namespace PictureError
