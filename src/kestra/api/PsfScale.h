#pragma once
// The matrix of a rotation, scale and rotation about a centre, as
// PSFScaleSetup hands it to PSFAffineSetup.
namespace kestra {

void PsfBuildScaleMatrix(double angle1, const double scale[2], double angle2, const double centre[2], double m[4],
                         double offset[2]);

} // namespace kestra
