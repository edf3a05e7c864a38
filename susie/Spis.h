// The plug-in host's registry and plug-in classes: TSPIs, TSPI, TInSPI, TAmSPI, TXnSPI,
// CreateSPI, SusiePlugins and the host's exceptions.
#pragma once

#include "susie/SPI.h"
#include "susie/SPIExceptions.h"
#include "susie/SPIRegistry.h"
