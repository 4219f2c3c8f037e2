#pragma once
#include "core/Database.h"

#include <QString>
#include <QVariant>

class QLineEdit;

// Passwords of table user are kept as salted argon2id hashes; Null stands for
// the empty password.
namespace ModPassword {
// The value to store for a typed password: Null for an empty one, else a hash.
// An invalid QVariant is returned when the hash could not be made (out of memory).
QVariant HashPassword(const QString& password);
// Whether a stored value (Null/empty QVariant = empty password) accepts the typed one.
bool PasswordMatches(const QVariant& stored, const QString& typed);
// True when the value is one of our hashes.
bool IsHash(const QString& stored);
// The user's row of table user (select *: id, name, password, ...).
QueryResult ReadUser(const QString& userId);
// Stores a value made by HashPassword as the user's password.
QueryResult StorePassword(const QString& userId, const QVariant& stored);
// Masks a password box with one "*" per typed character.
void MaskWithStars(QLineEdit* box);
}
