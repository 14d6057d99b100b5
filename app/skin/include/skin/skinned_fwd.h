// The skin layer's window classes by name only, for headers that hold pointers to them.
#pragma once

namespace skin
{
class CBaseDlg;
class CSkinnedButton;
class CSkinnedButtonEx;
class CSkinnedCheck;
class CSkinnedCombo;
class CSkinnedDateTime;
class CSkinnedEdit;
class CSkinnedImage;
class CSkinnedIndicator;
class CSkinnedMenu;
class CSkinnedProgress;
class CSkinnedRadio;
class CSkinnedSlider;
class CSkinnedSpin;
class CSkinnedStatic;
} // namespace skin
