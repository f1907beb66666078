#include "filter/RendererFactory.h"

#include "families/Families.h"
#include "filter/CCupsRender.h"

CBaseRender* CreateRenderer(int modelNumber) { return Families::CreateRenderer<CCupsRender>(modelNumber); }
