#pragma once
#include <QString>

// Temporary files that a job writes in folders outside the program folder
// (the DICOM conversion's exam folders) before they take their names. While
// the job runs, its folder is noted in the program folder (staging.txt), so
// that what a killed job left there goes at the next start.
//
// A temporary file is named prefix + six letters or digits and is locked by
// the job from the moment it is made until it has its name or is dropped.
namespace StagedFiles {

// Removes the leftovers in folder: files named prefix + six letters or digits
// that are this user's own and that no running job holds (see
// PrivateFile::removeLeftover: a job's lock goes with it, killed or not). A
// file that is still empty may be one a job has just made and not yet
// locked: it goes only once it is ten minutes old. A folder reached through
// another account's link is left alone (PrivateFile::followLinks). Gives how
// many went.
int RemoveLeftovers(const QString& folder, const QString& prefix);

// Notes that a job stages files named prefix... in folder, until its Forget()
// (the note stays while any job of the program that noted it runs).
// False when the note could not be written (the job can run all the same;
// only a kill would then leave its files until a later job in that folder).
bool Note(const QString& folder, const QString& prefix);
void Forget(const QString& folder, const QString& prefix);

// At start, once no other copy of the program uses the program folder: the
// leftovers of every noted folder removed. A folder stays noted while
// something of it stays (a young empty file); one that is gone, or that is
// now another account's link, is forgotten.
// Gives how many files went.
int RemoveNotedLeftovers();
}
