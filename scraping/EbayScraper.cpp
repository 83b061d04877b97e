#include "scraping/EbayScraper.h"

TEbayScraper ebayScraper;
